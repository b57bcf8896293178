#include "installer/win32/installer_system.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>

#include "common/win32/ansi_text.h"
#include "installer/install_log.h"
#include "installer/port_probe.h"
#include "common/prefs/win32/prefs_node_open.h"

namespace zavinstaller {

void Win32InstallerSystem::PrepareLog() { PrepareRunLog(); }

void Win32InstallerSystem::Log(const char* message) { LogLine(message); }

void Win32InstallerSystem::Print(const char* text) {
  // A GUI program has no console; the bytes only go somewhere when the output is
  // redirected.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void Win32InstallerSystem::ShowMessage(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

bool Win32InstallerSystem::IsPortFree(std::uint16_t port) { return zavinstaller::IsPortFree(port); }

namespace {

// The longest value name the registry holds, in UTF-16 units, and its terminator.
constexpr DWORD kLongestValueName = 16384;

// `text` cut to a value name's room between characters, for the log.
void CutName(const std::string& text, char (&name)[kNameSize]) {
  std::size_t length = ansi::FitLength(text.c_str(), kNameSize - 1, &ansi::SystemCharNext);
  std::memcpy(name, text.data(), length);
  name[length] = '\0';
}

// One view of the node, open for reading.
class Win32PrefsNode final : public PrefsNode {
 public:
  explicit Win32PrefsNode(zav::win32::ScopedHKey key) : node_(std::move(key)) {}
  ValueAt EnumValue(std::uint32_t index, PrefsValue& value) override;

 private:
  zav::win32::ScopedHKey node_;
};

}  // namespace

std::unique_ptr<PrefsNode> Win32InstallerSystem::OpenPrefsNode(prefs::View view) {
  // Only read: a standard user has no write access to the node.
  zav::win32::ScopedHKey key;
  if (prefs::OpenNode(view, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32PrefsNode>(std::move(key));
}

ValueAt Win32PrefsNode::EnumValue(std::uint32_t index, PrefsValue& value) {
  std::memset(&value, 0, sizeof value);
  // Name and data as the registry holds them: the ANSI functions would hand a
  // look-alike for a character the code page lacks ("L" for "Ł"), which names another
  // folder. The data's room holds every text whose ANSI form can fit.
  std::wstring name(kLongestValueName, L'\0');
  wchar_t data[kBufferSize];
  DWORD nameUnits = kLongestValueName;
  DWORD type = REG_NONE;
  DWORD dataBytes = sizeof data;
  LONG rc = RegEnumValueW(node_.get(), index, &name[0], &nameUnits, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataBytes);
  ValueAt at = ValueAt::kRead;
  if (rc == ERROR_MORE_DATA) {
    // Every name fits: the data did not.
    nameUnits = kLongestValueName;
    rc = RegEnumValueW(node_.get(), index, &name[0], &nameUnits, nullptr, &type, nullptr, nullptr);
    at = ValueAt::kUnreadable;
  }
  // The end of the values, or a failure that the next index would meet again.
  if (rc != ERROR_SUCCESS) return ValueAt::kEnd;

  std::string ansiName;
  value.nameExact = zav::win32::WideToAnsiExactly(name.c_str(), nameUnits, ansiName);
  CutName(ansiName, value.name);
  if (ansiName.size() >= kNameSize) {
    value.nameExact = false;
    at = ValueAt::kUnreadable;
  }
  value.type = type == REG_SZ ? prefs::DataType::kString : prefs::DataType::kOther;
  if (at != ValueAt::kRead || value.type != prefs::DataType::kString) return at;

  // Text stored without its terminator ends where the data ends.
  std::string text;
  if (!zav::win32::WideToAnsiExactly(data, wcsnlen(data, dataBytes / sizeof(wchar_t)), text) ||
      text.size() >= kBufferSize) {
    return ValueAt::kUnreadable;
  }
  std::memcpy(value.data, text.c_str(), text.size() + 1);
  return ValueAt::kRead;
}

bool Win32InstallerSystem::SameValueName(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

std::optional<std::uint32_t> Win32InstallerSystem::StartAndWait(const char* program,
                                                                const char* commandLine) {
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info;
  std::memset(&info, 0, sizeof info);

  // CreateProcessA may write into the command line it is given.
  char command[kBufferSize];
  ansi::CopyCut(command, commandLine);
  // The program is named by its full path: nothing is searched for.
  if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                      &startup, &info)) {
    return std::nullopt;
  }
  zav::win32::ScopedKernelHandle process(info.hProcess);
  zav::win32::ScopedKernelHandle thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.get(), &exitCode)) return std::nullopt;
  return exitCode;
}

bool Win32InstallerSystem::SystemProgramPath(const char* fileName, Buffer& path) {
  UINT n = GetSystemDirectoryA(path, kBufferSize);
  if (n == 0 || n >= kBufferSize) return false;
  return ansi::AppendCut(path, "\\") && ansi::AppendCut(path, fileName);
}

bool Win32InstallerSystem::UserProfile(std::string& value) {
  DWORD needed = GetEnvironmentVariableA("userprofile", nullptr, 0);
  if (needed == 0) return false;
  std::string buffer(needed + 1, '\0');
  DWORD got = GetEnvironmentVariableA("userprofile", &buffer[0], needed + 1);
  if (got == 0 || got > needed) return false;
  buffer.resize(got);
  value = buffer;
  return true;
}

bool Win32InstallerSystem::CreateEmptyFile(const char* path) {
  zav::win32::ScopedKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
  return static_cast<bool>(file);
}

void Win32InstallerSystem::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace zavinstaller
