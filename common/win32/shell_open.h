// The two file operations both Windows programs make: whether a path exists (file
// or directory, no access test), and opening a file through the shell, minimized,
// in the caller's current directory, not awaited.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

namespace zav::win32 {

inline bool PathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// ShellExecuteA's result: above 32 means the file was opened.
inline std::intptr_t OpenMinimized(const char* file, const char* parameters) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", file, parameters, "", SW_SHOWMINIMIZED);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace zav::win32
