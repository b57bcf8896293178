// Characters of the ANSI code page: one byte, or two in a double-byte code page such
// as 936 (GBK). Text is walked character by character wherever a single byte means
// something (a separator, a switch, a byte cmd.exe interprets), so that the second
// byte of a double-byte character is never taken for one.
#pragma once

#include <cstddef>

namespace ansi {

// Steps over one character; returns its argument at the terminator.
using CharNextFn = const char* (*)(const char*);

// One character further from `p`, as `next` says, but never past the terminator and
// never more than two bytes, whatever `next` makes of a lead byte at the end.
const char* Step(CharNextFn next, const char* p);

// The two bytes from `p` form a character that every double-byte code page of
// Windows can hold: the second byte is at least 0x40. Control bytes, blanks, digits
// and most punctuation lie below; a lead byte before one of those is malformed text
// that a converter may well split, so such a byte is to be judged on its own.
inline bool IsWellFormedPair(const char* p) { return static_cast<unsigned char>(p[1]) >= 0x40; }

// The character from `p` to `n` is the single byte `c`.
inline bool IsSingle(const char* p, const char* n, char c) { return n == p + 1 && *p == c; }

// Length of the longest run of whole characters from `s` within `max` bytes: a cut
// there never leaves a lead byte without its second byte.
std::size_t FitLength(const char* s, std::size_t max, CharNextFn next);

// True when `text`, walked by characters, holds a single-byte character that is one
// of the bytes of `set`. A lead byte before a byte that cannot be a second byte is
// judged on its own (see IsWellFormedPair).
bool HasSingleOf(const char* text, const char* set, CharNextFn next);

// The stepping of the system's ANSI code page: CharNextA on Windows, bytes elsewhere.
const char* SystemCharNext(const char* p);

// The stepping of code page 936 (lead bytes 0x81-0xFE), for hosts without it.
const char* Gbk936CharNext(const char* p);

}  // namespace ansi
