// Finding the start script of the client installation a launch link names, in the
// client's Java preferences node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ansi/ansi_chars.h"
#include "common/prefs/prefs_node.h"
#include "common/system/program_system.h"
#include "common/runlog/runlog.h"
#include "common/ansi/text_cut.h"

namespace launcher {

// Value data is read into a zeroed buffer of 500 bytes; one more zero byte behind it
// terminates data that comes without a terminator of its own.
constexpr std::size_t kValueDataSize = ansi::kBufferSize;
using ValueData = char[kValueDataSize + 1];

// What the launcher needs of the system beside the shared operations (Exists for
// the start script, ShellOpen to start it); the Windows one is the registry, the
// file system and the shell.
class LauncherSystem : public zav::ProgramSystem {
 public:
  enum class ValueRead { kNoNode, kNoValue, kFound };
  // Opens the preferences node in `view`, reads the value `name` into the zeroed
  // `data` with the type the registry reports for it, closes the node. String data
  // arrives in the ANSI code page, converted exactly from the registry's own text:
  // data that has no exact form there (a look-alike would name another folder) or
  // that does not fit in kValueDataSize bytes with its terminator reads as kNoValue.
  [[nodiscard]] virtual ValueRead ReadPrefsValue(const char* name, prefs::View view, ValueData& data,
                                                 prefs::DataType& type) = 0;
  // The argument as the program got it in the ANSI code page is the text the desktop
  // passed: no character was replaced by the code page's stand-in ("?") or by a
  // look-alike in the conversion.
  [[nodiscard]] virtual bool ArgumentIsExact(const char* argument) = 0;
  // Run log: starts the launcher's log (its file, an oversized one dropped); then
  // one record per Log, written when forced or when the verbose switch is on.
  virtual void PrepareLog() = 0;
  virtual void Log(const char* message, runlog::Force force) = 0;
};

// The start script of an installation and the folder it runs in, its own.
struct StartScript {
  std::string path;
  std::string folder;
};

enum class Lookup { kFound, kNotFound };

// Tries field 0 (less its first 8 bytes when longer than 8) and then field 1 as value
// names, each in the 32-bit view of the node and then in the 64-bit one: the first
// view whose value leads to an existing start script wins, so a stale value in one
// view hides no installation in the other. kFound with `script` set when one
// does; kNotFound otherwise, `script` unchanged. Every failed candidate is logged,
// forced: the node missing (in both views), the value missing (in every view that
// has the node; data that names no directory counts as missing), or else each
// view's start script that is missing.
[[nodiscard]] Lookup FindStartScript(const std::vector<std::string>& fields, StartScript& script,
                                     LauncherSystem& system);

}  // namespace launcher
