#include "common/ansi/ansi_chars.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ansi {

const char* Step(CharNextFn next, const char* p) {
  if (*p == '\0') return p;
  const char* n = next(p);
  return (n == p + 2 && p[1] != '\0') ? n : p + 1;
}

std::size_t FitLength(const char* s, std::size_t max, CharNextFn next) {
  const char* p = s;
  while (*p) {
    const char* n = Step(next, p);
    if (static_cast<std::size_t>(n - s) > max) break;
    p = n;
  }
  return static_cast<std::size_t>(p - s);
}

bool HasSingleOf(const char* text, const char* set, CharNextFn next) {
  for (const char* p = text; *p;) {
    const char* n = Step(next, p);
    if (n == p + 2 && !IsWellFormedPair(p)) n = p + 1;
    if (n == p + 1 && std::strchr(set, *p)) return true;
    p = n;
  }
  return false;
}

const char* SystemCharNext(const char* p) {
#ifdef _WIN32
  return CharNextA(p);
#else
  return *p ? p + 1 : p;
#endif
}

const char* Gbk936CharNext(const char* p) {
  unsigned char c = static_cast<unsigned char>(*p);
  if (c == 0) return p;
  if (c >= 0x81 && c <= 0xFE && p[1] != '\0') return p + 2;
  return p + 1;
}

}  // namespace ansi
