// Opening the preferences node in one registry view. The view is always asked for
// explicitly, so 32-bit and 64-bit builds read the same keys; on 32-bit Windows the
// flags are ignored and both views are the one hive.
#pragma once

#include <windows.h>

#include "common/prefs/prefs_node.h"
#include "common/win32/scoped_handles.h"

namespace prefs {

inline LONG OpenNode(View view, REGSAM access, zav::win32::ScopedHKey& key) {
  REGSAM flag = view == View::k32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNodePath, 0, access | flag, key.receive());
}

}  // namespace prefs
