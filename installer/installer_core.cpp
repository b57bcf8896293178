#include "installer_core.h"

#include <cstring>
#include <optional>
#include <vector>

#include "texts.h"

namespace zavinstaller {

namespace {

using ansi::IsSingle;
using ansi::Step;

void LogParts(InstallerPlatform& p, std::initializer_list<const char*> pieces) {
  Buffer message;
  Compose(message, pieces, p.CharStepper());
  p.Log(message);
}

// One step of the main flow: its line on standard output and its record.
void Tell(InstallerPlatform& p, const char* out, const char* record) {
  p.Print(out);
  p.Log(record);
}

void PrintLine(InstallerPlatform& p, const char* text) {
  p.Print(text);
  p.Print("\n");
}

bool ServicePortTaken(InstallerPlatform& p) { return p.IsPortFree(kServicePort) == 0; }

// Closes the preferences node on every way out once it is open.
class OpenNode {
 public:
  explicit OpenNode(InstallerPlatform& p) : p_(p) {}
  OpenNode(const OpenNode&) = delete;
  OpenNode& operator=(const OpenNode&) = delete;
  ~OpenNode() { p_.ClosePrefsNode(); }

 private:
  InstallerPlatform& p_;
};

constexpr char kInstallScript[] = "\\bin\\zavserviceinstall.bat  ";  // two blanks belong to it
constexpr char kShortcutScript[] = "\\bin\\makeshortcut.bat";
constexpr char kStartScript[] = "\\bin\\startzavservice.bat";
constexpr char kMarkerName[] = "\\hasTryInstallZAVServiceByMakeshortcut";
constexpr char kNetStart[] = "net start zavservice";
// What cmd.exe gives a meaning in a command line's unquoted text.
constexpr char kCommandChars[] = "&|<>^\"";

}  // namespace

bool ScanShowMsg(const char* commandLine, CharNextFn next) {
  if (!commandLine) return false;
  const char* p = commandLine;
  for (;;) {
    const char* n = nullptr;
    while (*p) {
      n = Step(next, p);
      if (IsSingle(p, n, '-') || IsSingle(p, n, ' ')) break;
      p = n;
    }
    if (!*p) return false;
    const char* candidate = p + 1;
    if (std::strncmp(candidate, "showMsg", 7) == 0) return true;
    p = candidate;
  }
}

bool Compose(Buffer& out, std::initializer_list<const char*> pieces, CharNextFn next) {
  out[0] = '\0';
  for (const char* piece : pieces) {
    // Nothing follows a cut piece, so no later piece reads as if it came right after it.
    if (!runlog::AppendCut(out, piece, next)) return false;
  }
  return true;
}

void ClientDirectoryFromData(const char* data, Buffer& dir, CharNextFn next) {
  Compose(dir, {data}, next);
  for (char* q = dir; *q;) {
    char* n = const_cast<char*>(Step(next, q));
    if (IsSingle(q, n, '/')) *q = '\\';
    q = n;
  }
}

bool ClientRootOf(const char* dir, Buffer& root, CharNextFn next) {
  const char* lastSeparator = nullptr;
  const char* rootEnd = nullptr;  // the last separator before the last other character
  for (const char* q = dir; *q;) {
    const char* n = Step(next, q);
    if (IsSingle(q, n, '\\')) {
      lastSeparator = q;
    } else {
      rootEnd = lastSeparator;
    }
    q = n;
  }
  if (!rootEnd) return false;
  std::size_t len = static_cast<std::size_t>(rootEnd - dir);
  if (len >= kBufferSize) return false;
  std::memcpy(root, dir, len);
  root[len] = '\0';
  return true;
}

void BuildCandidates(const char* dir, Candidates& out, CharNextFn next) {
  Buffer root;
  bool hasRoot = ClientRootOf(dir, root, next);
  const char* const suffixes[2] = {"\\clientjdk\\jre\\bin\\zavservice.exe",
                                   "\\clientjdk\\bin\\zavservice.exe"};
  for (int i = 0; i < 2; ++i) {
    out.present[i] = hasRoot;
    out.fits[i] = hasRoot && Compose(out.paths[i], {root, suffixes[i]}, next);
    if (!hasRoot) out.paths[i][0] = '\0';
  }
  out.present[2] = true;
  out.fits[2] = Compose(out.paths[2], {dir, "\\bin\\zavservice.exe"}, next);
}

bool RunAndWait(InstallerPlatform& p, const char* program, const char* commandLine) {
  if (!p.StartAndWait(program, commandLine)) {
    LogParts(p, {text::kRunFailed, commandLine});
    return false;
  }
  LogParts(p, {text::kRunSucceeded, commandLine});
  return true;
}

namespace {

// Walks the values of the preferences node, the 32-bit view first and then the
// 64-bit one, each name once: logs and prints the name, takes the data (a value that
// cannot be read or names no directory is logged and passed over) and hands name and
// data to `visit`,
// which either ends the walk with a result or lets it go on. Returns -1 when
// neither view of the node can be opened, 0 when the walk ran to its end.
template <typename Visit>
int WalkPrefsValues(InstallerPlatform& p, Visit visit) {
  bool opened = false;
  // Names whose data was read, as the registry compares names: a name read in the
  // 32-bit view is passed over in the 64-bit one, in whatever case it is spelled
  // there; one whose 32-bit data could not be read is tried again there.
  std::vector<std::string> visited;
  auto seen = [&](const char* name) {
    for (const std::string& v : visited) {
      if (p.SameValueName(v.c_str(), name)) return true;
    }
    return false;
  };
  for (prefs::View view : prefs::kViews) {
    if (!p.OpenPrefsNode(view)) continue;
    opened = true;
    OpenNode node(p);
    for (std::uint32_t index = 0;; ++index) {
      PrefsValue value = {};
      const ValueAt at = p.EnumValue(index, value);
      if (at == ValueAt::kEnd) break;
      value.name[kNameSize - 1] = '\0';
      value.data[kBufferSize - 1] = '\0';
      // A name the code page could not hold cannot be matched with another: it is
      // walked in each view that has it.
      if (value.nameExact && seen(value.name)) continue;
      p.Log(value.name);
      PrintLine(p, value.name);

      if (at != ValueAt::kRead || !prefs::NamesDirectory(value.type, value.data)) {
        LogParts(p, {text::kNoSuchEntry, value.name});
        continue;
      }
      if (value.nameExact) visited.emplace_back(value.name);
      if (std::optional<int> result = visit(value.name, value.data)) return *result;
    }
  }
  if (!opened) {
    p.Log(text::kRegistryOpenFailed);
    return -1;
  }
  return 0;
}

}  // namespace

int InstallServiceFromClient(InstallerPlatform& p) {
  CharNextFn next = p.CharStepper();
  return WalkPrefsValues(p, [&](const char*, const Buffer& data) -> std::optional<int> {
    Buffer dir;
    ClientDirectoryFromData(data, dir, next);
    // The shell and cmd.exe would put environment values in place of a %NAME%: the
    // path tested would not be the path run.
    if (ansi::HasSingleOf(dir, "%", next) || !p.Exists(dir)) {
      LogParts(p, {text::kFileMissing, dir});
      return std::nullopt;
    }

    Candidates candidates;
    BuildCandidates(dir, candidates, next);
    const char* program = nullptr;
    for (int i = 0; i < 3 && !program; ++i) {
      if (!candidates.present[i]) continue;
      // A path that would not fit is never cut into another one: it counts as missing.
      if (candidates.fits[i] && p.Exists(candidates.paths[i])) {
        program = candidates.paths[i];
      } else {
        LogParts(p, {text::kFileMissing, candidates.paths[i]});
      }
    }
    if (!program) return std::nullopt;
    LogParts(p, {text::kInstallFromClientOpen, program, text::kInstallFromClientClose});

    Buffer script;
    if (ansi::HasSingleOf(program, kCommandChars, next)) {
      // cmd.exe would read the install script's unquoted parameter as command text.
      LogParts(p, {text::kCommandCharsDirectOpen, program, text::kCommandCharsDirectClose});
    } else if (Compose(script, {dir, kInstallScript}, next) && p.Exists(script)) {
      if (p.ShellOpen(script, program) <= 32) {
        LogParts(p, {text::kShellFailed, program});
      } else if (ServicePortTaken(p)) {
        return 1;
      }
    } else {
      LogParts(p, {text::kScriptMissingOpen, script, text::kScriptMissingClose, program});
    }

    // The program path goes in quotes: unquoted, a path with a blank would let Windows
    // try a shorter program name first (C:\Program.exe for C:\Program Files\...).
    Buffer command;
    if (Compose(command, {"\"", program, "\" /Service"}, next)) {
      RunAndWait(p, program, command);
    } else {
      LogParts(p, {text::kRunFailed, command});
    }
    Buffer net;
    if (p.SystemProgramPath("net.exe", net)) {
      RunAndWait(p, net, kNetStart);
    } else {
      LogParts(p, {text::kRunFailed, kNetStart});
    }
    if (ServicePortTaken(p)) return 1;
    return std::nullopt;
  });
}

int InstallStartupShortcut(InstallerPlatform& p) {
  CharNextFn next = p.CharStepper();
  return WalkPrefsValues(p, [&](const char*, const Buffer& data) -> std::optional<int> {
    // The data is used as it is here, separators included.
    Buffer shortcut;
    if (!Compose(shortcut, {data, kShortcutScript}, next) || ansi::HasSingleOf(shortcut, "%", next) ||
        !p.Exists(shortcut)) {
      LogParts(p, {text::kFileMissing, shortcut});
      return std::nullopt;
    }
    if (p.ShellOpen(shortcut, "") <= 32) {
      LogParts(p, {text::kShellFailed, shortcut});
      return 0;
    }
    Buffer start;
    if (!Compose(start, {data, kStartScript}, next) || p.ShellOpen(start, "") <= 32) {
      LogParts(p, {text::kShellFailed, start});
      return 0;
    }
    return 1;
  });
}

void RunFallback(InstallerPlatform& p, bool showMsg) {
  std::string profile;
  if (!p.UserProfile(profile) || profile.empty()) {
    // Without a profile the marker has no sound place: it is left out.
    p.Log(text::kNoUserProfile);
  } else {
    Buffer marker;
    if (!Compose(marker, {profile.c_str(), kMarkerName}, p.CharStepper())) {
      LogParts(p, {text::kMarkerPathTooLong, marker});
    } else {
      PrintLine(p, marker);
      p.CreateEmptyFile(marker);  // a marker that cannot be created changes nothing
    }
  }

  if (InstallStartupShortcut(p) != 1) {
    p.Log(text::kShortcutFailed);
    return;
  }
  p.Log(text::kShortcutSucceeded);
  p.Sleep(kFallbackWaitMs);
  if (!ServicePortTaken(p)) {
    p.Log(text::kServiceNotStarted);
    return;
  }
  p.Log(text::kServiceStarted);
  if (showMsg) p.ShowMessage(text::kInstallSucceededBox, text::kCaptionInstall);
}

int RunInstaller(InstallerPlatform& p, const char* commandLine) {
  bool showMsg = ScanShowMsg(commandLine, p.CharStepper());
  p.PrepareLog();
  Tell(p, text::kGreetingOut, text::kGreeting);

  if (ServicePortTaken(p)) {
    Tell(p, text::kPortTakenOut, text::kPortTaken);
    if (showMsg) p.ShowMessage(text::kAlreadyRunningBox, text::kCaptionInstall);
    return 0;
  }
  Tell(p, text::kPortFreeOut, text::kPortFreeTryInstall);

  InstallServiceFromClient(p);

  if (p.IsPortFree(kAfterInstallPort) == 0) {
    Tell(p, text::kPortTakenOut, text::kInstalledAndStarted);
    if (showMsg) p.ShowMessage(text::kInstallSucceededBox, text::kCaptionDialog);
    return 0;
  }
  Tell(p, text::kPortFreeOut, text::kInstallFailedTryShortcut);
  RunFallback(p, showMsg);
  return 0;
}

}  // namespace zavinstaller
