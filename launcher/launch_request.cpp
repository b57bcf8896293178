#include "launcher/launch_request.h"

#include <cstdio>
#include <cstring>

namespace launcher {

Request SplitRequest(const char* argument, std::vector<std::string>& fields) {
  std::size_t len = strnlen(argument, ansi::kBufferSize);
  if (len >= ansi::kBufferSize) return Request::kUnusable;  // would not fit the working copy
  if (len > 0 && argument[len - 1] == '/') --len;

  std::size_t found = 0;
  std::size_t i = 0;
  while (i < len) {
    while (i < len && argument[i] == '$') ++i;
    std::size_t start = i;
    while (i < len && argument[i] != '$') ++i;
    if (i > start) {
      fields.emplace_back(argument + start, i - start);
      ++found;
    }
  }
  return found >= 2 ? Request::kUsable : Request::kUnusable;
}

bool HasRefusedByte(const char* argument, ansi::CharNextFn next) {
  return ansi::HasSingleOf(argument, kRefusedChars, next);
}

bool ComposeParameters(const char* argument, char (&parameters)[ansi::kBufferSize]) {
  std::size_t len = std::strlen(argument);
  const char* payload = len > kPrefixLength ? argument + kPrefixLength : "";
  std::size_t payloadLen = len > kPrefixLength ? len - kPrefixLength : 0;
  if (payloadLen > 0 && payload[payloadLen - 1] == '/') --payloadLen;
  if (payloadLen > ansi::kBufferSize - 1 - 9) return false;
  int n =
      std::snprintf(parameters, sizeof parameters, "isPortal %.*s", static_cast<int>(payloadLen), payload);
  return n > 0 && static_cast<std::size_t>(n) < sizeof parameters;
}

bool VerboseRequested(const std::vector<std::string>& fields) {
  return fields.size() > 2 && fields[2] == "log";
}

}  // namespace launcher
