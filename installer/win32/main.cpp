// zavserviceInstaller2: makes sure the ZAV client's background service runs.
// No window of its own; the command-line word showMsg adds message boxes for the
// good outcomes. The exit code is always 0.
#include <windows.h>

#include "installer_core.h"
#include "win32/installer_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  zavinstaller::Win32InstallerSystem platform;
  return zavinstaller::RunInstaller(platform, GetCommandLineA());
}
