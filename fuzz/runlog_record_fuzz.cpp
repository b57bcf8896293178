// Property: a record is one line: the timestamp, the unit and line, the message cut
// to the buffer with each control byte written as a visible escape, and CR CR LF;
// never longer than its buffer. Cut as code page 936 characters, the message loses at most one
// byte more and never ends inside a double-byte character.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "common/runlog/runlog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  // First bytes choose the time and the line; the rest is the message.
  std::tm when{};
  when.tm_year = 100 + data[0] % 100;
  when.tm_mon = data[1] % 12;
  when.tm_mday = 1 + data[2] % 28;
  when.tm_hour = data[3] % 24;
  when.tm_min = data[4] % 60;
  when.tm_sec = data[5] % 60;
  std::string message(reinterpret_cast<const char*>(data + 6), size - 6);
  message = message.c_str();

  char record[runlog::kRecordCapacity];
  std::size_t n = runlog::FormatRecord(record, when, "zavserviceInstaller2", 52, message.c_str());
  FUZZ_CHECK(n < runlog::kRecordCapacity);
  std::string text(record, n);
  std::string head = text.substr(0, 20);
  FUZZ_CHECK(head.size() == 20 && head[4] == '-' && head[7] == '-' && head[10] == ' ' && head[19] == ' ');
  std::string body;
  for (char c : message.substr(0, ansi::kBufferSize - 1)) {
    const auto byte = static_cast<unsigned char>(c);
    static const char kHex[] = "0123456789abcdef";
    if (c == '\r')
      body += "\\r";
    else if (c == '\n')
      body += "\\n";
    else if (c == '\t')
      body += "\\t";
    else if (byte < 0x20)
      body += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    else
      body += c;
  }
  std::string expected = head + "zavserviceInstaller2(:52):" + body + "\r\r\n";
  FUZZ_CHECK(text == expected);
  FUZZ_CHECK(text.find_first_of("\r\n") == text.size() - 3);

  char cut[ansi::kBufferSize];
  const bool whole = ansi::CopyCut(cut, message.c_str(), &ansi::Gbk936CharNext);
  const std::string kept(cut);
  FUZZ_CHECK(message.compare(0, kept.size(), kept) == 0);
  FUZZ_CHECK(whole == (kept == message));
  FUZZ_CHECK(whole || kept.size() + 1 >= ansi::kBufferSize - 1);
  // The cut falls where a character of the whole message begins (or at its end).
  const char* p = message.c_str();
  while (*p && p < message.c_str() + kept.size()) p = ansi::Step(&ansi::Gbk936CharNext, p);
  FUZZ_CHECK(p == message.c_str() + kept.size());
  // Where the message goes on past the cut, the next character did not fit whole.
  if (!whole) {
    const char* next = ansi::Step(&ansi::Gbk936CharNext, message.c_str() + kept.size());
    FUZZ_CHECK(static_cast<std::size_t>(next - message.c_str()) > ansi::kBufferSize - 1);
  }
  return 0;
}
