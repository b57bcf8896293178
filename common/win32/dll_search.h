// The DLL search of the Windows programs: the system folder only.
#pragma once

#include <windows.h>

namespace zav::win32 {

// Takes the program's folder and the current one out of the DLL search, so that no
// DLL planted beside the program or in the folder it is started from (a Downloads
// folder, say) is ever loaded, by the program or by the system DLLs it calls
// (the shell loads more as it needs them). Called first thing. Windows 7 has
// SetDefaultDllDirectories only with its update KB2533623, hence the lookup;
// without it SetDllDirectory("") still takes the current folder out.
inline void NarrowDllSearch() {
  using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDefault = reinterpret_cast<SetDefaultDirectories>(
      reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

}  // namespace zav::win32
