// launcher: started by the desktop for a followed "nvzav://" link; starts the start
// script of the client installation the link names.
#include "common/win32/dll_search.h"
#include "launcher/launcher_flow.h"
#include "launcher/win32/launcher_system.h"

int main(int argc, char** argv) {
  zav::win32::NarrowDllSearch();
  launcher::Win32LauncherSystem system;
  return launcher::RunLauncher(argc, argv, system);
}
