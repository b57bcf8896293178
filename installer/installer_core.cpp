#include "installer/installer_core.h"

#include <cstring>
#include <optional>
#include <vector>

#include "installer/texts.h"

namespace zavinstaller {

namespace {

using ansi::IsSingle;
using ansi::Step;

void LogParts(InstallerSystem& system, std::initializer_list<const char*> pieces) {
  system.Log(runlog::ComposeMessage(pieces, system.CharStepper()).text);
}

void PrintLine(InstallerSystem& system, const char* text) {
  system.Print(text);
  system.Print("\n");
}

// One step of the main flow: its line on standard output and its record.
void Tell(InstallerSystem& system, const char* line, const char* record) {
  PrintLine(system, line);
  system.Log(record);
}

bool ServicePortTaken(InstallerSystem& system) { return !system.IsPortFree(kServicePort); }

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
  const char* at = commandLine;
  for (;;) {
    const char* n = nullptr;
    while (*at) {
      n = Step(next, at);
      if (IsSingle(at, n, '-') || IsSingle(at, n, ' ')) break;
      at = n;
    }
    if (!*at) return false;
    const char* candidate = at + 1;
    if (std::strncmp(candidate, "showMsg", 7) == 0) return true;
    at = candidate;
  }
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

void RunAndWait(InstallerSystem& system, const char* program, const char* commandLine) {
  const std::optional<std::uint32_t> exitCode = system.StartAndWait(program, commandLine);
  if (!exitCode) {
    LogParts(system, {text::kRunFailed, commandLine});
    return;
  }
  LogParts(system, {text::kRunSucceeded, commandLine});
  LogParts(system, {text::kExitCode, std::to_string(*exitCode).c_str()});
}

namespace {

// What a visit made of one value: it ends the walk with a result, or the walk goes
// on; `usable` says whether the value named an installation to try.
template <typename Result>
struct Visit {
  std::optional<Result> result;
  bool usable = true;
};
template <typename Result>
constexpr Visit<Result> kUnusable = {std::nullopt, false};

// Walks the values of the preferences node, the 32-bit view first and then the
// 64-bit one where that is another node: logs and prints the name, takes the data (a value
// that cannot be read or names no directory is logged and passed over) and hands name and data to `visit`,
// which either ends the walk with a result or lets it go on. Returns that result, `noNode` when neither view
// of the node can be opened, or `ranToTheEnd`.
template <typename Result, typename Visitor>
Result WalkPrefsValues(InstallerSystem& system, Result noNode, Result ranToTheEnd, Visitor visit) {
  bool opened = false;
  // Names that named an installation to try, as the registry compares names: such a
  // name of the 32-bit view is passed over in the 64-bit one, in whatever case it is
  // spelled there. One whose 32-bit data is unreadable or names no usable
  // installation (a stale value of a client that moved to a 64-bit Java) is tried
  // again there.
  std::vector<std::string> visited;
  auto seen = [&](const char* name) {
    for (const std::string& v : visited) {
      if (system.SameValueName(v.c_str(), name)) return true;
    }
    return false;
  };
  const bool twoViews = system.RegistryHasTwoViews();
  for (prefs::View view : prefs::kViews) {
    if (view == prefs::View::k64 && !twoViews) break;
    const std::unique_ptr<PrefsNode> node = system.OpenPrefsNode(view);
    if (!node) continue;
    opened = true;
    for (std::uint32_t index = 0;; ++index) {
      PrefsValue value = {};
      const ValueAt at = node->EnumValue(index, value);
      if (at == ValueAt::kEnd) break;
      value.name[kNameSize - 1] = '\0';
      value.data[kBufferSize - 1] = '\0';
      // A name the code page could not hold cannot be matched with another: it is
      // walked in each view that has it.
      if (value.nameExact && seen(value.name)) continue;
      system.Log(value.name);
      PrintLine(system, value.name);

      if (at != ValueAt::kRead || !prefs::NamesDirectory(value.type, value.data)) {
        LogParts(system, {text::kNoRegistryEntry, value.name});
        continue;
      }
      const Visit<Result> outcome = visit(value.data);
      if (outcome.usable && value.nameExact) visited.emplace_back(value.name);
      if (outcome.result) return *outcome.result;
    }
  }
  if (!opened) {
    system.Log(text::kRegistryOpenFailed);
    return noNode;
  }
  return ranToTheEnd;
}

}  // namespace

InstallPass InstallServiceFromClient(InstallerSystem& system) {
  CharNextFn next = system.CharStepper();
  return WalkPrefsValues(
      system, InstallPass::kNoNode, InstallPass::kNotStarted, [&](const Buffer& data) -> Visit<InstallPass> {
        Buffer dir;
        ClientDirectoryFromData(data, dir, next);
        // The shell and cmd.exe would put environment values in place of a %NAME%: the
        // path tested would not be the path run.
        if (ansi::HasSingleOf(dir, "%", next) || !system.Exists(dir)) {
          LogParts(system, {text::kFileMissing, dir});
          return kUnusable<InstallPass>;
        }

        Candidates candidates;
        BuildCandidates(dir, candidates, next);
        const char* program = nullptr;
        for (int i = 0; i < 3 && !program; ++i) {
          if (!candidates.present[i]) continue;
          // A path that would not fit is never cut into another one: it counts as missing.
          if (candidates.fits[i] && system.Exists(candidates.paths[i])) {
            program = candidates.paths[i];
          } else {
            LogParts(system, {text::kFileMissing, candidates.paths[i]});
          }
        }
        if (!program) return kUnusable<InstallPass>;
        LogParts(system, {text::kInstallFromClientOpen, program, text::kInstallFromClientClose});

        Buffer script;
        if (ansi::HasSingleOf(program, kCommandChars, next)) {
          // cmd.exe would read the install script's unquoted parameter as command text.
          LogParts(system, {text::kCommandCharsDirectOpen, program, text::kCommandCharsDirectClose});
        } else if (Compose(script, {dir, kInstallScript}, next) && system.Exists(script)) {
          if (!system.ShellOpen(script, program, nullptr)) {
            LogParts(system, {text::kStartFailed, program});
          } else if (ServicePortTaken(system)) {
            return {InstallPass::kServiceRuns};
          }
        } else {
          LogParts(system, {text::kScriptMissingOpen, script, text::kScriptMissingClose, program});
        }

        // The program path goes in quotes: unquoted, a path with a blank would let Windows
        // try a shorter program name first (C:\Program.exe for C:\Program Files\...).
        Buffer command;
        if (Compose(command, {"\"", program, "\" /Service"}, next)) {
          RunAndWait(system, program, command);
        } else {
          LogParts(system, {text::kRunFailed, command});
        }
        Buffer net;
        if (system.SystemProgramPath("net.exe", net)) {
          RunAndWait(system, net, kNetStart);
        } else {
          LogParts(system, {text::kRunFailed, kNetStart});
        }
        if (ServicePortTaken(system)) return {InstallPass::kServiceRuns};
        return {};
      });
}

ShortcutPass InstallStartupShortcut(InstallerSystem& system) {
  CharNextFn next = system.CharStepper();
  return WalkPrefsValues(
      system, ShortcutPass::kNoNode, ShortcutPass::kNotOpened,
      [&](const Buffer& data) -> Visit<ShortcutPass> {
        // The data is used as it is here, separators included.
        Buffer shortcut;
        if (!Compose(shortcut, {data, kShortcutScript}, next) || ansi::HasSingleOf(shortcut, "%", next) ||
            !system.Exists(shortcut)) {
          LogParts(system, {text::kFileMissing, shortcut});
          return kUnusable<ShortcutPass>;
        }
        if (!system.ShellOpen(shortcut, "", nullptr)) {
          LogParts(system, {text::kStartFailed, shortcut});
          return {ShortcutPass::kNotOpened};
        }
        Buffer start;
        if (!Compose(start, {data, kStartScript}, next) || !system.ShellOpen(start, "", nullptr)) {
          LogParts(system, {text::kStartFailed, start});
          return {ShortcutPass::kNotOpened};
        }
        return {ShortcutPass::kScriptsOpened};
      });
}

void RunFallback(InstallerSystem& system, bool showMsg) {
  std::string profile;
  if (!system.UserProfile(profile) || profile.empty()) {
    // Without a profile the marker has no sound place: it is left out.
    system.Log(text::kNoUserProfile);
  } else {
    Buffer marker;
    if (!Compose(marker, {profile.c_str(), kMarkerName}, system.CharStepper())) {
      LogParts(system, {text::kMarkerPathTooLong, marker});
    } else {
      PrintLine(system, marker);
      system.CreateEmptyFile(marker);  // a marker that cannot be created changes nothing
    }
  }

  if (InstallStartupShortcut(system) != ShortcutPass::kScriptsOpened) {
    system.Log(text::kShortcutFailed);
    return;
  }
  system.Log(text::kShortcutSucceeded);
  system.Sleep(kFallbackWaitMs);
  if (!ServicePortTaken(system)) {
    system.Log(text::kServiceNotStarted);
    return;
  }
  system.Log(text::kServiceStarted);
  if (showMsg) system.ShowMessage(text::kInstallSucceededBox, text::kCaptionInstall);
}

int RunInstaller(InstallerSystem& system, const char* commandLine) {
  bool showMsg = ScanShowMsg(commandLine, system.CharStepper());
  system.PrepareLog();
  Tell(system, text::kGreeting, text::kGreeting);

  if (ServicePortTaken(system)) {
    Tell(system, text::kPortTaken, text::kPortTaken);
    if (showMsg) system.ShowMessage(text::kAlreadyRunningBox, text::kCaptionInstall);
    return 0;
  }
  Tell(system, text::kPortFree, text::kPortFreeTryInstall);

  InstallServiceFromClient(system);

  if (!system.IsPortFree(kAfterInstallPort)) {
    Tell(system, text::kPortTaken, text::kInstalledAndStarted);
    if (showMsg) system.ShowMessage(text::kInstallSucceededBox, text::kCaptionDialog);
    return 0;
  }
  Tell(system, text::kPortFree, text::kInstallFailedTryShortcut);
  RunFallback(system, showMsg);
  return 0;
}

}  // namespace zavinstaller
