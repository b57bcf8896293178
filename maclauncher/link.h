// Reading of a "nvzav://" link as the macOS handler does it, with no Cocoa.
//
// The Objective-C handler in AppDelegate.m does the same steps with NSURL and
// NSString; this copy lets the rules be tested and fuzzed on any host.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace maclauncher {

inline constexpr std::string_view kScheme = "nvzav://";
inline constexpr std::string_view kShell = "/bin/sh";
inline constexpr std::string_view kScriptPathSuffix = "/bin/clientStartup.sh";

// What the handler starts for one link: kShell with `arguments`.
struct StartCommand {
  std::string clientDirectory;
  std::string scriptPath;
  std::vector<std::string> arguments;  // script path, then the whole link
};

// Whether `text` is a string that a URL object accepts: printable ASCII with
// none of the characters a URL may not hold, and every "%" starting a
// two-digit hex escape. A rejected text gives no URL, so nothing is started.
// URL classes differ at the edges (GNUstep's, for one, also refuses an empty
// authority as in "nvzav://#x"); this is the common ground.
bool IsUrlText(std::string_view text);

// Every "nvzav://" of `link` removed in one left-to-right pass; text that only
// forms the scheme once an earlier occurrence is gone stays.
std::string RemoveScheme(std::string_view link);

// Pieces of `text` between the separators, empty ones included; an empty
// text gives one empty piece.
std::vector<std::string> SplitKeepingEmpty(std::string_view text, char separator);

// The client directory named by `link`: the text before the first "#" of
// the first "$" piece, once the scheme is removed. Nothing when that piece
// holds no "#".
std::optional<std::string> ClientDirectory(std::string_view link);

// "<clientDirectory>/bin/clientStartup.sh".
std::string StartScriptPath(std::string_view clientDirectory);

// The command for the text of a 'GURL' event: nothing when the text is no
// URL or names no client directory. The link is used as written: it is not
// percent-decoded.
std::optional<StartCommand> ReadLink(std::string_view eventText);

}  // namespace maclauncher
