#include "launcher_system.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <vector>

#include "win32/prefs_node_open.h"

namespace launcher {

LauncherSystem::ValueRead Win32LauncherSystem::ReadPrefsValue(const char* name, prefs::View view,
                                                              ValueData& data, prefs::DataType& type) {
  zav::win32::ScopedHKey key;
  if (prefs::OpenNode(view, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return ValueRead::kNoNode;
  DWORD registryType = REG_NONE;
  DWORD size = kValueDataSize;  // the byte behind stays zero whatever comes back
  LONG rc = RegQueryValueExA(key.get(), name, nullptr, &registryType, reinterpret_cast<BYTE*>(data), &size);
  data[kValueDataSize] = '\0';
  type = registryType == REG_SZ ? prefs::DataType::kString : prefs::DataType::kOther;
  return rc == ERROR_SUCCESS ? ValueRead::kFound : ValueRead::kNoValue;
}

namespace {

struct LocalFree {
  void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

}  // namespace

bool Win32LauncherSystem::ArgumentIsExact(const char* argument) {
  // The first argument as Windows holds it, and the ANSI text converted back: a
  // character the code page lacks comes back as "?" or as a look-alike.
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFree> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide || count < 2) return false;
  int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, argument, -1, nullptr, 0);
  if (length <= 0) return false;
  std::vector<wchar_t> back(static_cast<std::size_t>(length));
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, argument, -1, back.data(), length) != length) {
    return false;
  }
  return std::wcscmp(back.data(), wide.get()[1]) == 0;
}

}  // namespace launcher
