#include "win32/platform.h"

#include "shell_open.h"

#include <cstring>

#include "install_log.h"
#include "port_probe.h"
#include "win32/prefs_node_open.h"

namespace zavinstaller {

CharNextFn Win32Platform::CharStepper() { return &ansi::SystemCharNext; }

void Win32Platform::PrepareLog() { PrepareRunLog(); }

void Win32Platform::Log(const char* message) { LogLine(message); }

void Win32Platform::Print(const char* text) {
  // A GUI program has no console; the bytes only go somewhere when the output is
  // redirected.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void Win32Platform::ShowMessage(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

int Win32Platform::IsPortFree(std::uint16_t port) { return zavinstaller::IsPortFree(port); }

bool Win32Platform::OpenPrefsNode(prefs::View view) {
  return prefs::OpenNode(view, KEY_ALL_ACCESS, node_) == ERROR_SUCCESS;
}

bool Win32Platform::EnumValueName(std::uint32_t index, char (&name)[kNameSize]) {
  DWORD size = kNameSize;
  return RegEnumValueA(node_.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool Win32Platform::ReadValue(const char* name, Buffer& data) {
  std::memset(data, 0, kBufferSize);
  DWORD type = REG_SZ;
  DWORD size = kBufferSize;
  if (RegQueryValueExA(node_.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  // Data that fills the whole buffer without a terminator of its own does not fit.
  return strnlen(data, kBufferSize) < kBufferSize;
}

void Win32Platform::ClosePrefsNode() { node_.reset(); }

bool Win32Platform::SameValueName(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

bool Win32Platform::Exists(const char* path) { return zav::win32::PathExists(path); }

std::intptr_t Win32Platform::ShellOpen(const char* file, const char* params) {
  return zav::win32::OpenMinimized(file, params);
}

bool Win32Platform::StartAndWait(const char* commandLine) {
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
  runlog::CopyCut(command, commandLine);
  if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                      &startup, &info)) {
    return false;
  }
  zav::win32::ScopedKernelHandle process(info.hProcess);
  zav::win32::ScopedKernelHandle thread(info.hThread);
  WaitForSingleObject(process.get(), INFINITE);
  return true;
}

bool Win32Platform::UserProfile(std::string& value) {
  DWORD needed = GetEnvironmentVariableA("userprofile", nullptr, 0);
  if (needed == 0) return false;
  std::string buffer(needed + 1, '\0');
  DWORD got = GetEnvironmentVariableA("userprofile", &buffer[0], needed + 1);
  if (got == 0 || got > needed) return false;
  buffer.resize(got);
  value = buffer;
  return true;
}

bool Win32Platform::CreateEmptyFile(const char* path) {
  zav::win32::ScopedKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr));
  return static_cast<bool>(file);
}

void Win32Platform::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace zavinstaller
