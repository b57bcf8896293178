// Whether the start script a link points at may be run, and running it.
//
// The link names the directory whose script /bin/sh runs, so a page could
// point it at a script it managed to put on the disk (an unpacked download, a
// mounted share). Only a script that an installation put in place is run:
// an absolute client directory without ".."; every directory from "/" down
// owned by root or by the user running the app, and not writable by group or
// others (above the client directory: unless it is sticky and root's, as /tmp,
// or on macOS its group is the administrators', as /Applications); symbolic links
// on the way owned by root or that user; bin a real directory and the script a
// regular file, neither a link, the script not writable by group or others; on
// macOS a local volume that honours ownership, and no download quarantine mark.
// The script is opened once, and that open file is what is checked and what
// /bin/sh reads: nothing can be swapped in between.
#pragma once

#include <functional>
#include <string>

#include "script_guard_api.h"

namespace maclauncher {

enum class ScriptVerdict {
  kAllowed,
  kNotAbsolute,                // the client directory is empty or relative
  kParentComponent,            // a component of the client directory is ".."
  kNotRegularFile,             // missing, a link, a directory, a device...
  kScriptWritableByOthers,     // group or others may write the script
  kDirectoryWritableByOthers,  // group or others may write bin or the client directory
  kQuarantined,                // marked as downloaded (com.apple.quarantine)
  kForeignOwner,               // the script, a directory or a link on the way belongs to another user
  kUntrustedVolume,            // on a network share, or a volume that ignores ownership
};

inline constexpr char kScriptPathSuffix[] = "/bin/clientStartup.sh";

// "<clientDirectory>/bin/clientStartup.sh".
std::string StartScriptPath(const std::string& clientDirectory);

const char* VerdictName(ScriptVerdict verdict);

// Tells whether the file at a path carries the download quarantine mark.
using QuarantineProbe = std::function<bool(const std::string& path)>;

// The platform's probe: the com.apple.quarantine attribute on macOS; other
// systems have no such mark and the probe answers false.
bool HasQuarantineMark(const std::string& path);

ScriptVerdict CheckStartScript(const std::string& clientDirectory,
                               const QuarantineProbe& quarantined = HasQuarantineMark);

// The same check of a start script path as the handler composed it: it must be a
// client directory (absolute, not empty) followed by "/bin/clientStartup.sh", and
// that very path is what is looked at.
ScriptVerdict CheckStartScriptPath(const std::string& scriptPath,
                                   const QuarantineProbe& quarantined = HasQuarantineMark);

// The check, leaving the script open in *fd when it is allowed (-1 otherwise).
ScriptVerdict OpenStartScript(const std::string& scriptPath, int* fd,
                              const QuarantineProbe& quarantined = HasQuarantineMark);

// Runs an allowed script: /bin/sh reads the file checked, from its open
// descriptor (/dev/fd/3), with "$0" the script's path and "$1" the link, and is
// waited for. Its wait status, or -1 when the script is refused or sh cannot start.
int RunStartScript(const std::string& scriptPath, const std::string& link);

}  // namespace maclauncher
