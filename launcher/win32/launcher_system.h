// The launcher's system on Windows: registry, file system and shell.
#pragma once

#include "install_lookup.h"

namespace launcher {

class Win32LauncherSystem final : public LauncherSystem {
 public:
  ValueRead ReadPrefsValue(const char* name, prefs::View view, ValueData& data,
                           prefs::DataType& type) override;
  bool PathExists(const char* path) override;
  std::intptr_t OpenScript(const char* script, const char* parameters) override;
  ansi::CharNextFn CharStepper() override { return &ansi::SystemCharNext; }
  bool ArgumentIsExact(const char* argument) override;
};

}  // namespace launcher
