// Whether the start script a link points at may be run.
//
// The link names the directory whose script /bin/sh runs, so a page could
// point it at a script it managed to put on the disk (an unpacked download, a
// mounted share). Only a script that an installation put in place is run:
// an absolute client directory without "..", a regular file that neither it
// nor bin nor the client directory lets group or others change, all three owned
// by root or by the user running the app, and, on macOS, that carries no
// download quarantine mark.
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
  kForeignOwner,               // the script, bin or the client directory belongs to another user
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

}  // namespace maclauncher
