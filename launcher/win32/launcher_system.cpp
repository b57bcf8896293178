#include "launcher/win32/launcher_system.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "common/win32/ansi_text.h"
#include "common/prefs/win32/prefs_node_open.h"
#include "common/runlog/runlog.h"
#include "launcher/launcher_flow.h"

namespace launcher {

LauncherSystem::ValueRead Win32LauncherSystem::ReadPrefsValue(const char* name, prefs::View view,
                                                              ValueData& data, prefs::DataType& type) {
  zav::win32::ScopedHKey key;
  if (prefs::OpenNode(view, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return ValueRead::kNoNode;
  std::wstring wideName;
  if (!zav::win32::AnsiToWide(name, wideName)) return ValueRead::kNoValue;
  // The registry's own text: the ANSI functions would hand a look-alike for a
  // character the code page lacks. kValueDataSize units hold every text whose ANSI
  // form can fit.
  wchar_t wide[kValueDataSize];
  DWORD registryType = REG_NONE;
  DWORD size = sizeof wide;
  LONG rc = RegQueryValueExW(key.get(), wideName.c_str(), nullptr, &registryType,
                             reinterpret_cast<BYTE*>(wide), &size);
  if (rc != ERROR_SUCCESS) return ValueRead::kNoValue;
  type = registryType == REG_SZ ? prefs::DataType::kString : prefs::DataType::kOther;
  if (type != prefs::DataType::kString) return ValueRead::kFound;
  // Text stored without its terminator ends where the data ends.
  std::string text;
  if (!zav::win32::WideToAnsiExactly(wide, wcsnlen(wide, size / sizeof(wchar_t)), text) ||
      text.size() >= kValueDataSize) {
    return ValueRead::kNoValue;
  }
  std::memcpy(data, text.c_str(), text.size() + 1);
  return ValueRead::kFound;
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

void Win32LauncherSystem::PrepareLog() { runlog::StartLog(kLogIdentity, "launcher.log"); }

void Win32LauncherSystem::Log(const char* message, runlog::Force force) {
  runlog::LogMessage(message, force);
}

}  // namespace launcher
