// Record texts both Windows programs write, as the GBK (code page 936) bytes they
// are written in; record_texts.inc has each beside the text it is.
#pragma once

namespace runlog::text {

#define ZAV_TEXT(name, bytes, text) inline constexpr char name[] = bytes;
#include "common/runlog/record_texts.inc"
#undef ZAV_TEXT

}  // namespace runlog::text
