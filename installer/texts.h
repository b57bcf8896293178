// Texts of the service installer, as the bytes it writes: the Chinese ones GBK
// (code page 936). texts.inc has each beside the text it is.
#pragma once

#include "common/runlog/record_texts.h"

namespace zavinstaller::text {

// Shared with the launcher.
using runlog::text::kFileMissing;
using runlog::text::kNoRegistryEntry;
using runlog::text::kStartFailed;

#define ZAV_TEXT(name, bytes, text) inline constexpr char name[] = bytes;
#include "installer/texts.inc"
#undef ZAV_TEXT

}  // namespace zavinstaller::text
