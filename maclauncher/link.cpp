#include "link.h"

#include <cstring>

namespace maclauncher {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Characters that may stand unescaped somewhere in a URL string.
bool IsUrlCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  return c != '\0' && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr;
}

}  // namespace

bool IsUrlText(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!IsUrlCharacter(c)) {
      return false;
    }
    if (c == '%') {
      if (i + 2 >= text.size()) {
        return false;
      }
      if (!IsHexDigit(text[i + 1]) || !IsHexDigit(text[i + 2])) {
        return false;
      }
      i += 2;
    }
  }
  return true;
}

std::string RemoveScheme(std::string_view link) {
  std::string out;
  out.reserve(link.size());
  size_t pos = 0;
  while (pos < link.size()) {
    const size_t hit = link.find(kScheme, pos);
    if (hit == std::string_view::npos) {
      break;
    }
    out.append(link.substr(pos, hit - pos));
    pos = hit + kScheme.size();
  }
  if (pos < link.size()) {
    out.append(link.substr(pos));
  }
  return out;
}

std::vector<std::string> SplitKeepingEmpty(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    const size_t hit = text.find(separator, start);
    if (hit == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, hit - start));
    start = hit + 1;
  }
}

std::optional<std::string> ClientDirectory(std::string_view link) {
  const std::vector<std::string> pieces = SplitKeepingEmpty(RemoveScheme(link), '$');
  if (pieces.empty()) {
    return std::nullopt;
  }
  const std::string& first = pieces.front();
  const size_t hash = first.find('#');
  if (hash == std::string::npos) {
    return std::nullopt;
  }
  return first.substr(0, hash);
}

std::string StartScriptPath(std::string_view clientDirectory) {
  std::string path(clientDirectory);
  path.append(kScriptPathSuffix);
  return path;
}

std::optional<StartCommand> ReadLink(std::string_view eventText) {
  if (!IsUrlText(eventText)) {
    return std::nullopt;
  }
  std::optional<std::string> directory = ClientDirectory(eventText);
  if (!directory) {
    return std::nullopt;
  }
  StartCommand command;
  command.clientDirectory = std::move(*directory);
  command.scriptPath = StartScriptPath(command.clientDirectory);
  command.arguments = {command.scriptPath, std::string(eventText)};
  return command;
}

}  // namespace maclauncher
