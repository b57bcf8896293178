// The launcher's log texts, as the GBK (code page 936) bytes they are written in.
#pragma once

namespace launcher::text {

// "注册表没有该项:" — the registry has no such entry
inline constexpr char kNoRegistryEntry[] =
    "\xd7\xa2\xb2\xe1\xb1\xed\xc3\xbb\xd3\xd0\xb8\xc3\xcf\xee"
    ":";
// "文件不存在:" — the file does not exist
inline constexpr char kFileMissing[] =
    "\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda"
    ":";
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
// "执行命令失败" — running the command failed; the script path follows
inline constexpr char kStartFailed[] = "\xd6\xb4\xd0\xd0\xc3\xfc\xc1\xee\xca\xa7\xb0\xdc";
// "Launcher退出" — launcher exits
inline constexpr char kExit[] =
    "Launcher"
    "\xcd\xcb\xb3\xf6";

}  // namespace launcher::text
