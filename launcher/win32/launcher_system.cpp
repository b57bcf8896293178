#include "launcher_system.h"

#include <windows.h>

#include "shell_open.h"
#include "win32/prefs_node_open.h"

namespace launcher {

LauncherSystem::ValueRead Win32LauncherSystem::ReadPrefsValue(const char* name, prefs::View view,
                                                              ValueData& data) {
  zav::win32::ScopedHKey key;
  if (prefs::OpenNode(view, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return ValueRead::kNoNode;
  DWORD type = REG_SZ;
  DWORD size = kValueDataSize;  // the byte behind stays zero whatever comes back
  LONG rc = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  data[kValueDataSize] = '\0';
  return rc == ERROR_SUCCESS ? ValueRead::kFound : ValueRead::kNoValue;
}

bool Win32LauncherSystem::PathExists(const char* path) { return zav::win32::PathExists(path); }

std::intptr_t Win32LauncherSystem::OpenScript(const char* script, const char* parameters) {
  return zav::win32::OpenMinimized(script, parameters);
}

}  // namespace launcher
