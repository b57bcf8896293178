// The launcher's own log texts, as the GBK (code page 936) bytes they are written
// in; those it shares with the installer are runlog::text's.
#pragma once

#include "common/runlog/record_texts.h"

namespace launcher::text {

using runlog::text::kFileMissing;
using runlog::text::kNoRegistryEntry;
using runlog::text::kStartFailed;

// "参数错误[没有传入参数]" — parameter error, no parameter passed
inline constexpr char kNoArgument[] =
    "\xb2\xce\xca\xfd\xb4\xed\xce\xf3"
    "["
    "\xc3\xbb\xd3\xd0\xb4\xab\xc8\xeb\xb2\xce\xca\xfd"
    "]";
// "参数错误[参数格式错误],param=" — parameter error, bad parameter format; the raw argument follows
inline constexpr char kBadFormat[] =
    "\xb2\xce\xca\xfd\xb4\xed\xce\xf3"
    "["
    "\xb2\xce\xca\xfd\xb8\xf1\xca\xbd\xb4\xed\xce\xf3"
    "],param=";
// "Launcher退出" — launcher exits
inline constexpr char kExit[] =
    "Launcher"
    "\xcd\xcb\xb3\xf6";

}  // namespace launcher::text
