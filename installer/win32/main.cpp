// zavserviceInstaller2: makes sure the ZAV client's background service runs.
// No window of its own; the command-line word showMsg adds message boxes for the
// good outcomes. The exit code is always 0.
#include <windows.h>

#include "common/win32/dll_search.h"
#include "installer/installer_core.h"
#include "installer/win32/installer_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  zav::win32::NarrowDllSearch();
  zavinstaller::Win32InstallerSystem system;
  return zavinstaller::RunInstaller(system, GetCommandLineA());
}
