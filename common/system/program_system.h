// What both Windows programs ask of the system, under one set of names: each
// program's own system interface derives from this one and adds its own
// operations, and on Windows zav::win32::ProgramSystem (shell_and_files.h)
// implements these once.
#pragma once

#include "common/ansi/ansi_chars.h"

namespace zav {

class ProgramSystem {
 public:
  virtual ~ProgramSystem() = default;
  // Character stepping of the ANSI code page.
  virtual ansi::CharNextFn CharStepper() = 0;
  // A file or directory of that name exists (no access test).
  virtual bool Exists(const char* path) = 0;
  // Opens `file` through the shell with `params`, minimized, not awaited, with
  // `folder` as its working directory (null: the program's own current one). True
  // when the shell opened it.
  [[nodiscard]] virtual bool ShellOpen(const char* file, const char* params, const char* folder) = 0;
  // The registry's 32-bit and 64-bit views are two nodes (64-bit Windows). On
  // 32-bit Windows both view flags name the one node, which is read once.
  virtual bool RegistryHasTwoViews() = 0;
};

}  // namespace zav
