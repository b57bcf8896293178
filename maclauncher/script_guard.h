// Whether the start script a link points at may be run, and running it.
//
// The link names the directory whose script /bin/sh runs, so a page could
// point it at a script it managed to put on the disk (an unpacked download, a
// mounted share). Only a script that an installation put in place is run:
// an absolute client directory without ".."; every directory from "/" down, and
// every symbolic link on the way, owned by a trusted owner: root, the user running
// the app, or, below a directory of the administrators' group (as /Applications),
// a member of that group (who could become root anyway); no directory writable by
// group or others, by mode bits or by an ACL entry (above the client directory:
// unless it is sticky and root's, as /tmp, or for the group the group is the
// administrators'); the client directory is the directory bin really lies in,
// after every link and ".." in a link's target is followed; bin a real directory
// and the script a regular file, neither a link, the script not writable by group
// or others; on macOS a local volume that honours ownership and is not
// quarantined, and no download quarantine mark on the script.
// The script is opened once and that open file is checked; /bin/sh then runs it
// by its path as "sh <script> <link>" does: every directory on the way is one only
// root or the user can change.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "maclauncher/script_guard_api.h"

namespace maclauncher {

enum class ScriptVerdict {
  kAllowed,
  kNotAbsolute,                // the client directory is empty or relative
  kParentComponent,            // a component of the client directory is ".."
  kNotRegularFile,             // the script is a directory, a FIFO, a device...
  kScriptWritableByOthers,     // group or others may write the script
  kDirectoryWritableByOthers,  // group or others may write bin or the client directory
  kQuarantined,                // marked as downloaded (com.apple.quarantine)
  kForeignOwner,               // the script, a directory or a link on the way belongs to another user
  kUntrustedVolume,            // on a network share, or a volume that ignores ownership
  kMissing,                    // a component of the path does not exist, or cannot be read or opened
  kNotDirectory,               // a component before the script is no directory
  kLinkInInstallation,         // bin or the script is a symbolic link
  kTooManyLinks,               // more symbolic links on the way than the walk follows
  kNulInPath,                  // the path holds a NUL, where the system would cut it short
};

inline constexpr char kScriptPathSuffix[] = "/bin/clientStartup.sh";

// "<clientDirectory>/bin/clientStartup.sh".
std::string StartScriptPath(const std::string& clientDirectory);

const char* VerdictName(ScriptVerdict verdict);

// Tells whether the open file carries the download quarantine mark.
using QuarantineProbe = std::function<bool(int fd)>;

// The platform's probe: the com.apple.quarantine attribute on macOS; other
// systems have no such mark and the probe answers false.
bool HasQuarantineMark(int fd);

ScriptVerdict CheckStartScript(const std::string& clientDirectory,
                               const QuarantineProbe& quarantined = HasQuarantineMark);

// The same check of a start script path as the handler composed it: it must be a
// client directory (absolute, not empty) followed by "/bin/clientStartup.sh", and
// that very path is what is looked at.
ScriptVerdict CheckStartScriptPath(const std::string& scriptPath,
                                   const QuarantineProbe& quarantined = HasQuarantineMark);

// One open descriptor, closed when its owner goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();
  // -1 when it holds none.
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_ = -1;
};

// The check, leaving the script open in *opened when it is allowed.
[[nodiscard]] ScriptVerdict OpenStartScript(const std::string& scriptPath, UniqueFd* opened,
                                            const QuarantineProbe& quarantined = HasQuarantineMark);

// Starts an allowed script as "/bin/sh <script> <link>" and does not wait: no
// descriptor of the app's but standard input, output and error reaches it, and it
// starts with no signal blocked or ignored. On macOS it is made responsible for
// itself where the system allows it, so privacy prompts (camera, microphone) are
// the client's and not this app's. The verdict; *child is the process when
// allowed and started (-1 otherwise, also when sh could not start).
ScriptVerdict SpawnStartScript(const std::string& scriptPath, const std::string& link, int* child);

// Waits for a started script: its wait status.
int WaitForScript(int child);

// Both: the wait status, or -1 when the script is refused or sh cannot start.
int RunStartScript(const std::string& scriptPath, const std::string& link);

}  // namespace maclauncher
