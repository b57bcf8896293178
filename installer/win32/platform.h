// The installer's platform operations over the Win32 API (ANSI forms throughout).
#pragma once

#include <windows.h>

#include "installer_core.h"
#include "scoped_handles.h"

namespace zavinstaller {

class Win32Platform final : public InstallerPlatform {
 public:
  CharNextFn CharStepper() override;
  void PrepareLog() override;
  void Log(const char* message) override;
  void Print(const char* text) override;
  void ShowMessage(const char* text, const char* caption) override;
  int IsPortFree(std::uint16_t port) override;
  bool OpenPrefsNode(prefs::View view) override;
  bool EnumValueName(std::uint32_t index, char (&name)[kNameSize]) override;
  bool ReadValue(const char* name, Buffer& data) override;
  void ClosePrefsNode() override;
  bool SameValueName(const char* a, const char* b) override;
  bool Exists(const char* path) override;
  std::intptr_t ShellOpen(const char* file, const char* params) override;
  bool StartAndWait(const char* commandLine) override;
  bool UserProfile(std::string& value) override;
  bool CreateEmptyFile(const char* path) override;
  void Sleep(unsigned milliseconds) override;

 private:
  zav::win32::ScopedHKey node_;
};

}  // namespace zavinstaller
