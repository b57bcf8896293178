// Reading of one "nvzav://" launch link as the launcher gets it on its command line.
#pragma once

#include <string>
#include <vector>

#include "common/ansi/ansi_chars.h"
#include "common/ansi/text_cut.h"
#include "common/runlog/runlog.h"

namespace launcher {

constexpr std::size_t kPrefixLength = 8;  // "nvzav://", dropped, never compared
// Single-byte characters a link may not hold: what cmd.exe interprets, and the
// control bytes.
inline constexpr char kRefusedChars[] =
    "&|<>^\"%\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
    "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f";

enum class Request { kUsable, kUnusable };

// Appends the fields of `argument` (less one trailing "/") to `fields`: the maximal
// runs of bytes other than "$". kUsable when there are at least two; kUnusable
// otherwise, and also when the argument does not fit the 500-byte working copy.
Request SplitRequest(const char* argument, std::vector<std::string>& fields);

// True when the argument holds a character that cmd.exe gives a meaning on a command
// line: & | < > ^ " (a link would run commands of its own through the start script),
// % (cmd.exe would put environment values in place of the link's text), or a control
// byte. Such a link is refused like a malformed one. The argument is walked by
// characters of the ANSI code page (`next`): the second byte of a double-byte
// character is never one of these, whatever its value. Checked on the argument and on
// the composed parameters, which cmd.exe reads from their own start.
bool HasRefusedByte(const char* argument, ansi::CharNextFn next);

// The start script's parameters: "isPortal " and the payload (the argument less its
// first 8 bytes and one trailing "/"). False when they would not fit the buffer.
bool ComposeParameters(const char* argument, char (&parameters)[ansi::kBufferSize]);

// Field 2 is exactly "log".
bool VerboseRequested(const std::vector<std::string>& fields);

}  // namespace launcher
