// The service installer's decisions: command-line scan, path building, the service
// install pass, the startup-shortcut fallback and the main flow. Everything that
// touches the system goes through InstallerSystem, so the flow runs the same over
// the Win32 calls and over test doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "common/ansi/ansi_chars.h"
#include "common/prefs/prefs_node.h"
#include "common/system/program_system.h"
#include "common/runlog/runlog.h"
#include "common/ansi/text_cut.h"

namespace zavinstaller {

// Paths, command lines and log messages are composed in buffers of ansi's size.
using ansi::Buffer;
using ansi::Compose;
using ansi::kBufferSize;
// Value names: up to 255 bytes and the terminator.
constexpr std::size_t kNameSize = 256;

constexpr std::uint16_t kServicePort = 11999;
constexpr std::uint16_t kAfterInstallPort = 11997;
constexpr unsigned kFallbackWaitMs = 2000;

using ansi::CharNextFn;

// One value of the preferences node as the enumeration gives it.
struct PrefsValue {
  char name[kNameSize];
  // The name is the value's own: the ANSI code page holds each of its characters.
  // Otherwise it is the code page's rendering ("?" for what it lacks), which another
  // value's name may share.
  bool nameExact;
  prefs::DataType type;
  Buffer data;  // text, terminated
};
// kUnreadable: the data cannot be read, does not fit with its terminator, or is text
// with no exact form in the ANSI code page; also a name longer than 255 bytes, held
// cut (between characters, not exact) for the log.
enum class ValueAt { kEnd, kRead, kUnreadable };

// One view of the preferences node, open; closed when it goes.
class PrefsNode {
 public:
  virtual ~PrefsNode() = default;
  // The value at `index`, its name and data together (a name is never looked up again:
  // the code page's stand-in for a character it lacks may be another value's name),
  // both converted exactly from the registry's own text. kEnd after the last value
  // and for a failure that would come again at every index.
  [[nodiscard]] virtual ValueAt EnumValue(std::uint32_t index, PrefsValue& value) = 0;
};

// What the installer needs of the system beside the shared operations (Exists,
// ShellOpen for the scripts, CharStepper).
class InstallerSystem : public zav::ProgramSystem {
 public:
  // Run log: fixes the log path and drops an oversized log; then one forced record.
  virtual void PrepareLog() = 0;
  virtual void Log(const char* message) = 0;
  // Bytes to standard output, exactly as given.
  virtual void Print(const char* text) = 0;
  // Modal box without owner, OK button; returns when it is closed.
  virtual void ShowMessage(const char* text, const char* caption) = 0;

  // True when a TCP socket could be bound to `port` (port_probe.h).
  [[nodiscard]] virtual bool IsPortFree(std::uint16_t port) = 0;

  // The client's preferences node in one registry view, open for reading until the
  // owner goes; empty when it cannot be opened.
  [[nodiscard]] virtual std::unique_ptr<PrefsNode> OpenPrefsNode(prefs::View view) = 0;
  // The two value names are one name to the registry (compared without case).
  virtual bool SameValueName(const char* a, const char* b) = 0;

  // Starts the program at the full path `program` with `commandLine` (which names it
  // first) hidden, with the installer's standard handles and working directory, and
  // waits for it without limit. Its exit code; none when the process could not be
  // created.
  [[nodiscard]] virtual std::optional<std::uint32_t> StartAndWait(const char* program,
                                                                  const char* commandLine) = 0;
  // Full path of a program of the system's own folder; false when it cannot be had.
  // System programs are never looked for along the search path, which begins with
  // the installer's folder and the current one.
  [[nodiscard]] virtual bool SystemProgramPath(const char* fileName, Buffer& path) = 0;

  // The "userprofile" environment variable; false when it is not set.
  [[nodiscard]] virtual bool UserProfile(std::string& value) = 0;
  // Creates (or cuts to length zero) an empty file; false on failure.
  virtual bool CreateEmptyFile(const char* path) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
};

// Sets showMsg: true when a "-" or a blank is directly followed by "showMsg".
bool ScanShowMsg(const char* commandLine, CharNextFn next);

// Client directory from value data: every "/" becomes "\\".
void ClientDirectoryFromData(const char* data, Buffer& dir, CharNextFn next);

// Parent of the client directory after its trailing "\\" are dropped; false when
// nothing with a "\\" is left.
bool ClientRootOf(const char* dir, Buffer& root, CharNextFn next);

// The service program candidates of a client directory, in the order they are tried.
// `fits[i]` is false (and `paths[i]` cut) when candidate i would not fit; `present[i]`
// is false when it cannot be built at all (no client root).
struct Candidates {
  Buffer paths[3];
  bool present[3];
  bool fits[3];
};
void BuildCandidates(const char* dir, Candidates& out, CharNextFn next);

// Starts `program` with `commandLine`, waits for it and logs the outcome under the
// command line, and then the exit code of a program that ran: a program that ran is
// not one that succeeded ("net start" of a disabled service exits with 2).
void RunAndWait(InstallerSystem& system, const char* program, const char* commandLine);

// How the service install pass ended: the service port is taken after an attempt,
// no value led there, or the node cannot be opened.
enum class InstallPass { kServiceRuns, kNotStarted, kNoNode };
InstallPass InstallServiceFromClient(InstallerSystem& system);

// How the shortcut pass ended: both scripts were handed to the shell, or not, or the
// node cannot be opened.
enum class ShortcutPass { kScriptsOpened, kNotOpened, kNoNode };
ShortcutPass InstallStartupShortcut(InstallerSystem& system);

// Marker file, shortcut pass, wait and closing port test.
void RunFallback(InstallerSystem& system, bool showMsg);

// The whole run; returns the exit code (always 0).
int RunInstaller(InstallerSystem& system, const char* commandLine);

}  // namespace zavinstaller
