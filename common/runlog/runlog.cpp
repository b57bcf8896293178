#include "common/runlog/runlog.h"

#include <cstdio>
#include <cstring>

namespace runlog {

Level logLevel = Level::kQuiet;
char logPath[ansi::kBufferSize] = {};
Identity identity = {"", 0};

namespace {

// One byte of a message as it is written: itself, or for a control byte its visible
// escape.
void EscapeControl(char c, char (&out)[5]) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20) {
    out[0] = c;
    out[1] = '\0';
  } else if (c == '\r' || c == '\n' || c == '\t') {
    out[0] = '\\';
    out[1] = c == '\r' ? 'r' : c == '\n' ? 'n' : 't';
    out[2] = '\0';
  } else {
    std::snprintf(out, sizeof out, "\\x%02x", byte);
  }
}

}  // namespace

void MakeAppendLockName(const char* path, char (&name)[kAppendLockNameSize]) {
  // 64-bit FNV-1a over the path, letters folded.
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char* p = path ? path : ""; *p; ++p) {
    unsigned char ch = static_cast<unsigned char>(*p);
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<unsigned char>(ch - 'A' + 'a');
    hash = (hash ^ ch) * 0x100000001b3u;
  }
  std::snprintf(name, sizeof name, "zavlog-%08lx%08lx", static_cast<unsigned long>(hash >> 32),
                static_cast<unsigned long>(hash & 0xffffffffu));
}

bool ComposeLogPath(const char* exePath, char separator, const char* fileName,
                    char (&path)[ansi::kBufferSize]) {
  const char* last = std::strrchr(exePath, separator);
  if (!last) return false;
  std::size_t dirLen = static_cast<std::size_t>(last - exePath);
  std::size_t nameLen = std::strlen(fileName);
  if (dirLen + 1 + nameLen >= ansi::kBufferSize) return false;
  std::memcpy(path, exePath, dirLen);
  path[dirLen] = separator;
  std::memcpy(path + dirLen + 1, fileName, nameLen + 1);
  return true;
}

void MakeLogPath(char (&path)[ansi::kBufferSize], const char* fileName) {
  char exe[ansi::kBufferSize];
  if (platform::ExecutablePath(exe) && ComposeLogPath(exe, platform::PathSeparator(), fileName, path)) {
    return;
  }
  ansi::CopyCut(path, fileName);
}

void TrimOversizedLog(const char* path) { platform::DeleteIfLargerThan(path, kSizeCap); }

std::size_t FormatRecord(char (&out)[kRecordCapacity], const std::tm& when, const char* unitName, int line,
                         const char* message, ansi::CharNextFn next) {
  char stamp[100];
  if (std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &when) == 0) stamp[0] = '\0';
  char cut[ansi::kBufferSize];
  ansi::CopyCut(cut, message, next);
  int head = std::snprintf(out, kRecordCapacity, "%s %s(:%d):", stamp, unitName, line);
  if (head < 0) return 0;
  // Room for the line end CR CR LF and the terminator is kept behind everything.
  const std::size_t end = kRecordCapacity - 4;
  std::size_t n = static_cast<std::size_t>(head) < end ? static_cast<std::size_t>(head) : end;
  for (const char* p = cut; *p; ++p) {
    char escaped[5];
    EscapeControl(*p, escaped);
    const std::size_t len = std::strlen(escaped);
    if (n + len > end) break;
    std::memcpy(out + n, escaped, len);
    n += len;
  }
  std::memcpy(out + n, "\r\r\n", 4);
  return n + 3;
}

void StartLog(const Identity& who, const char* fileName) {
  identity = who;
  MakeLogPath(logPath, fileName);
  TrimOversizedLog(logPath);
}

void WriteLogLine(const char* path, const char* message, const char* unitName, int line) {
  std::tm now{};
  if (!platform::LocalNow(now)) return;
  char record[kRecordCapacity];
  std::size_t len = FormatRecord(record, now, unitName, line, message);
  if (len) platform::AppendBytes(path, record, len);
}

Message ComposeMessage(std::initializer_list<const char*> pieces, ansi::CharNextFn next) {
  Message message;
  ansi::Compose(message.text, pieces, next);
  return message;
}

void LogMessage(const char* message, Force force) {
  if (logLevel == Level::kVerbose || force == Force::kAlways) {
    WriteLogLine(logPath, message, identity.unitName, identity.line);
  }
}

}  // namespace runlog
