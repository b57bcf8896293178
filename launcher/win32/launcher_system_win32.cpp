#include "launcher_system_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "prefs_node_win32.h"

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

bool Win32LauncherSystem::PathExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::intptr_t Win32LauncherSystem::OpenScript(const char* script, const char* parameters) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", script, parameters, "", SW_SHOWMINIMIZED);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace launcher
