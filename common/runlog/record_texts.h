// Record texts both Windows programs write, as the GBK (code page 936) bytes they
// are written in; a literal is split where a hex digit follows an escape.
#pragma once

namespace runlog::text {

// "注册表没有该项:" — the registry has no such entry; the name follows
inline constexpr char kNoRegistryEntry[] = "\xd7\xa2\xb2\xe1\xb1\xed\xc3\xbb\xd3\xd0\xb8\xc3\xcf\xee:";
// "文件不存在:" — the file does not exist; the path follows
inline constexpr char kFileMissing[] = "\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda:";
// "执行命令失败" — running the command failed; what was run follows
inline constexpr char kStartFailed[] = "\xd6\xb4\xd0\xd0\xc3\xfc\xc1\xee\xca\xa7\xb0\xdc";

}  // namespace runlog::text
