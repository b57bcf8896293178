// The launcher's system on Windows: registry, file system and shell.
#pragma once

#include "launcher/install_lookup.h"
#include "common/win32/shell_and_files.h"

namespace launcher {

class Win32LauncherSystem final : public zav::win32::ProgramSystem<LauncherSystem> {
 public:
  ValueRead ReadPrefsValue(const char* name, prefs::View view, ValueData& data,
                           prefs::DataType& type) override;
  bool ArgumentIsExact(const char* argument) override;
  void PrepareLog() override;
  void Log(const char* message, runlog::Force force) override;
};

}  // namespace launcher
