// Text between Windows' UTF-16 and the ANSI code page the programs work in. A
// conversion here is exact or it fails: no best-fit look-alike ("L" for "Ł") and no
// stand-in ("?") ever takes a character's place, so converted text never names a
// file, folder or value other than the one it came from.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace zav::win32 {

// `length` UTF-16 units of `wide` (no terminator needed) in the ANSI code page.
// False when a character has no exact form there; `ansi` then holds the rendering
// with "?" in its place, fit for a log record only.
[[nodiscard]] inline bool WideToAnsiExactly(const wchar_t* wide, std::size_t length, std::string& ansi) {
  ansi.clear();
  if (length == 0) return true;
  // UTF-8 as the ANSI code page holds everything, and takes neither flag.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int units = static_cast<int>(length);
  int size = WideCharToMultiByte(CP_ACP, flags, wide, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  ansi.resize(static_cast<std::size_t>(size));
  BOOL usedDefault = FALSE;
  int written =
      WideCharToMultiByte(CP_ACP, flags, wide, units, &ansi[0], size, nullptr, utf8 ? nullptr : &usedDefault);
  if (written != size) {
    ansi.clear();
    return false;
  }
  return !usedDefault;
}

// The terminated ANSI `text` in UTF-16; false when it is not valid text of the code page.
[[nodiscard]] inline bool AnsiToWide(const char* text, std::wstring& wide) {
  wide.clear();
  int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (size <= 0) return false;
  wide.resize(static_cast<std::size_t>(size));
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, &wide[0], size) != size) return false;
  wide.resize(static_cast<std::size_t>(size) - 1);  // the terminator
  return true;
}

}  // namespace zav::win32
