// Text in the fixed buffers the Windows programs compose paths, command lines,
// registry data and messages in: copied, appended and composed, cut between two
// characters of the code page where it does not fit, never written past.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "common/ansi/ansi_chars.h"

namespace ansi {

// Paths, command lines and messages are composed in buffers of this size; longer
// text is cut.
constexpr std::size_t kBufferSize = 500;
using Buffer = char[kBufferSize];

// Copies at most kBufferSize - 1 bytes of `src`, cut between two characters of the
// code page `next` steps (the system's by default); always terminates. True when
// all of `src` fit.
bool CopyCut(Buffer& dst, const char* src, CharNextFn next = &SystemCharNext);

// Appends `src` to the string in `dst`, cutting what does not fit between two
// characters; always terminates. True when all of `src` fit.
bool AppendCut(Buffer& dst, const char* src, CharNextFn next = &SystemCharNext);

// Writes the pieces one after another into `out`, cutting what does not fit between
// two characters and leaving out every piece after a cut one (so no later piece
// reads as if it came right after it); `out` is always terminated. True when
// everything fit.
bool Compose(Buffer& out, std::initializer_list<const char*> pieces, CharNextFn next);

}  // namespace ansi
