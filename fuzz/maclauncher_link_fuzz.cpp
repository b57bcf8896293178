// Property: a link's text the handler allows holds only the characters a URL may,
// each "%" before two hexadecimal digits, at most one "#" and no bracket, and names
// a start script "<client directory>/bin/clientStartup.sh" whose client directory
// is text of the link's first piece; any text at all is read without a fault.
#include <cctype>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "maclauncher/link_reading.h"
#include "maclauncher/script_guard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto script = maclauncher::StartScriptPathOfLink(text);
  if (maclauncher::CheckLinkText(text) != maclauncher::LinkRefusal::kNone) return 0;
  int hashes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '[' && c != ']' && std::strchr("\"<>\\^`{|}", c) == nullptr);
    if (c == '%') FUZZ_CHECK(i + 2 < text.size() && std::isxdigit(text[i + 1]) && std::isxdigit(text[i + 2]));
    hashes += c == '#';
  }
  FUZZ_CHECK(hashes <= 1);
  FUZZ_CHECK(script.has_value());
  const std::string suffix = maclauncher::kScriptPathSuffix;
  FUZZ_CHECK(script->size() >= suffix.size() &&
             script->compare(script->size() - suffix.size(), suffix.size(), suffix) == 0);
  const std::string directory = script->substr(0, script->size() - suffix.size());
  FUZZ_CHECK(directory.find_first_of("#$") == std::string::npos);
  return 0;
}
