// The launcher's own log texts, as the GBK (code page 936) bytes they are written
// in (messages.inc has each beside the text it is); those it shares with the
// installer are runlog::text's.
#pragma once

#include "common/runlog/record_texts.h"

namespace launcher::text {

using runlog::text::kFileMissing;
using runlog::text::kNoRegistryEntry;
using runlog::text::kStartFailed;

#define ZAV_TEXT(name, bytes, text) inline constexpr char name[] = bytes;
#include "launcher/messages.inc"
#undef ZAV_TEXT

}  // namespace launcher::text
