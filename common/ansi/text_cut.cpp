#include "common/ansi/text_cut.h"

#include <cstring>

namespace ansi {

bool CopyCut(Buffer& dst, const char* src, CharNextFn next) {
  dst[0] = '\0';
  return AppendCut(dst, src, next);
}

bool AppendCut(Buffer& dst, const char* src, CharNextFn next) {
  std::size_t used = strnlen(dst, kBufferSize - 1);
  std::size_t n = src ? FitLength(src, kBufferSize - 1 - used, next) : 0;
  if (n) std::memcpy(dst + used, src, n);
  dst[used + n] = '\0';
  return !src || src[n] == '\0';
}

bool Compose(Buffer& out, std::initializer_list<const char*> pieces, CharNextFn next) {
  out[0] = '\0';
  for (const char* piece : pieces) {
    if (!AppendCut(out, piece, next)) return false;
  }
  return true;
}

}  // namespace ansi
