#include "win32/installer_system.h"

#include <cstring>

#include "install_log.h"
#include "port_probe.h"
#include "win32/prefs_node_open.h"

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

bool Win32InstallerSystem::OpenPrefsNode(prefs::View view) {
  // Only read: a standard user has no write access to the node.
  return prefs::OpenNode(view, KEY_QUERY_VALUE, node_) == ERROR_SUCCESS;
}

namespace {

// The name at `index` read through the wide functions is the ANSI `name`: the code
// page holds each of its characters, without a look-alike in place of one.
bool NameIsExact(HKEY node, std::uint32_t index, const char* name) {
  wchar_t wide[kNameSize];
  DWORD size = kNameSize;
  if (RegEnumValueW(node, index, wide, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  char back[2 * kNameSize];
  BOOL usedDefault = FALSE;
  // UTF-8 as the ANSI code page holds everything, and takes neither flag.
  const bool utf8 = GetACP() == CP_UTF8;
  int n = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, back, sizeof back, nullptr,
                              utf8 ? nullptr : &usedDefault);
  return n > 0 && !usedDefault && std::strcmp(back, name) == 0;
}

}  // namespace

ValueAt Win32InstallerSystem::EnumValue(std::uint32_t index, PrefsValue& value) {
  std::memset(&value, 0, sizeof value);
  DWORD nameSize = kNameSize;
  DWORD type = REG_NONE;
  DWORD dataSize = kBufferSize;
  LONG rc = RegEnumValueA(node_.get(), index, value.name, &nameSize, nullptr, &type,
                          reinterpret_cast<BYTE*>(value.data), &dataSize);
  ValueAt at = ValueAt::kRead;
  if (rc == ERROR_MORE_DATA) {
    // The name or the data did not fit: the name alone tells which.
    std::memset(&value, 0, sizeof value);
    nameSize = kNameSize;
    rc = RegEnumValueA(node_.get(), index, value.name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    at = ValueAt::kUnreadable;
  }
  if (rc != ERROR_SUCCESS) return ValueAt::kEnd;
  value.type = type == REG_SZ ? prefs::DataType::kString : prefs::DataType::kOther;
  // Data that fills the whole buffer without a terminator of its own does not fit.
  if (strnlen(value.data, kBufferSize) >= kBufferSize) at = ValueAt::kUnreadable;
  value.nameExact = NameIsExact(node_.get(), index, value.name);
  return at;
}

void Win32InstallerSystem::ClosePrefsNode() { node_.reset(); }

bool Win32InstallerSystem::SameValueName(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

bool Win32InstallerSystem::StartAndWait(const char* program, const char* commandLine) {
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
    return false;
  }
  zav::win32::ScopedKernelHandle process(info.hProcess);
  zav::win32::ScopedKernelHandle thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  return true;
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
