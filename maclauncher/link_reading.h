// Reading a "nvzav://" link: the handler's own rules for its text, checked before
// the system's URL parser sees it, and the start script path it names.
//
// The rules are the same on every macOS the app runs on (11 and later), so a link
// behaves alike everywhere: macOS 11 to 13 take "[" and "]" anywhere and one "#";
// 14 and later take brackets only around an IP-literal host. A link is printable
// ASCII of the characters RFC 3986 allows, "%" only before two hexadecimal digits,
// at most one "#", and no "[" or "]" (a link names a directory, never a host).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace maclauncher {

enum class LinkRefusal {
  kNone,
  kEmpty,         // no text
  kNul,           // a NUL, which every C string made of it would end at
  kCharacter,     // a character no URL holds (a space, "|", a control, non-ASCII...)
  kEscape,        // "%" not followed by two hexadecimal digits
  kSecondHash,    // more than one "#"
  kBracket,       // "[" or "]"
  kNoClientPart,  // no "#" in the text before the first "$": no client directory
};

const char* LinkRefusalName(LinkRefusal refusal);

// The handler's rules over the link's text (UTF-8 bytes, as the event gave it).
LinkRefusal CheckLinkText(std::string_view text);

// Of a link as the system's parser gave it back: every "nvzav://" removed, the text
// before the first "$", there the text before the first "#" is the client
// directory; "<client directory>/bin/clientStartup.sh", or nothing when that first
// piece has no "#".
std::optional<std::string> StartScriptPathOfLink(std::string_view link);

}  // namespace maclauncher
