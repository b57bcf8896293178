// The installer's platform operations over the Win32 API (ANSI forms throughout).
#pragma once

#include <windows.h>

#include "installer/installer_core.h"
#include "common/win32/shell_and_files.h"
#include "common/win32/scoped_handles.h"

namespace zavinstaller {

class Win32InstallerSystem final : public zav::win32::ProgramSystem<InstallerSystem> {
 public:
  void PrepareLog() override;
  void Log(const char* message) override;
  void Print(const char* text) override;
  void ShowMessage(const char* text, const char* caption) override;
  bool IsPortFree(std::uint16_t port) override;
  std::unique_ptr<PrefsNode> OpenPrefsNode(prefs::View view) override;
  bool SameValueName(const char* a, const char* b) override;
  std::optional<std::uint32_t> StartAndWait(const char* program, const char* commandLine) override;
  bool SystemProgramPath(const char* fileName, Buffer& path) override;
  bool UserProfile(std::string& value) override;
  bool CreateEmptyFile(const char* path) override;
  void Sleep(unsigned milliseconds) override;
};

}  // namespace zavinstaller
