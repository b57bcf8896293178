// The operations both Windows programs share (zav::ProgramSystem) over the Win32
// API, once: a program's system derives from ProgramSystem<ItsInterface>.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "common/system/program_system.h"

namespace zav::win32 {

template <typename Interface>
class ProgramSystem : public Interface {
 public:
  ansi::CharNextFn CharStepper() override { return &ansi::SystemCharNext; }
  bool Exists(const char* path) override { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
  bool ShellOpen(const char* file, const char* params, const char* folder) override {
    // An empty folder is the caller's current one, as null is.
    HINSTANCE result = ShellExecuteA(nullptr, "open", file, params, folder ? folder : "", SW_SHOWMINIMIZED);
    // The shell's convention: a result above 32 means opened.
    return reinterpret_cast<std::intptr_t>(result) > 32;
  }
  bool RegistryHasTwoViews() override {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
  }
};

}  // namespace zav::win32
