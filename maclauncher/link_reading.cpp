#include "maclauncher/link_reading.h"

#include <cstddef>

#include "maclauncher/script_guard.h"

namespace maclauncher {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Unreserved, general and sub-delimiters of RFC 3986, and "%"; brackets are
// refused on their own.
bool UrlCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  for (const char* p = "-._~:/?#@!$&'()*+,;=%"; *p != '\0'; ++p) {
    if (c == *p) return true;
  }
  return false;
}

}  // namespace

const char* LinkRefusalName(LinkRefusal refusal) {
  switch (refusal) {
    case LinkRefusal::kNone:
      return "none";
    case LinkRefusal::kEmpty:
      return "no link text";
    case LinkRefusal::kNul:
      return "a NUL in the link";
    case LinkRefusal::kCharacter:
      return "a character no URL holds";
    case LinkRefusal::kEscape:
      return "a % not followed by two hexadecimal digits";
    case LinkRefusal::kSecondHash:
      return "a second #";
    case LinkRefusal::kBracket:
      return "a [ or ]";
    case LinkRefusal::kNoClientPart:
      return "no # before the first $: no client directory";
  }
  return "?";
}

LinkRefusal CheckLinkText(std::string_view text) {
  if (text.empty()) return LinkRefusal::kEmpty;
  int hashes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\0') return LinkRefusal::kNul;
    if (c == '[' || c == ']') return LinkRefusal::kBracket;
    if (!UrlCharacter(c)) return LinkRefusal::kCharacter;
    if (c == '%' && (i + 2 >= text.size() || !IsHexDigit(text[i + 1]) || !IsHexDigit(text[i + 2]))) {
      return LinkRefusal::kEscape;
    }
    if (c == '#' && ++hashes > 1) return LinkRefusal::kSecondHash;
  }
  return StartScriptPathOfLink(text) ? LinkRefusal::kNone : LinkRefusal::kNoClientPart;
}

std::optional<std::string> StartScriptPathOfLink(std::string_view link) {
  constexpr std::string_view kScheme = "nvzav://";
  std::string payload;
  payload.reserve(link.size());
  for (std::size_t i = 0; i < link.size();) {
    if (link.compare(i, kScheme.size(), kScheme) == 0) {
      i += kScheme.size();
    } else {
      payload += link[i++];
    }
  }
  const std::string_view first = std::string_view(payload).substr(0, payload.find('$'));
  const std::size_t hash = first.find('#');
  if (hash == std::string_view::npos) return std::nullopt;
  return StartScriptPath(std::string(first.substr(0, hash)));
}

}  // namespace maclauncher
