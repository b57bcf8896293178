#include "launcher/launcher_flow.h"

#include <vector>

#include "launcher/launch_request.h"
#include "launcher/messages.h"

namespace launcher {

int RunLauncher(int argc, const char* const* argv, LauncherSystem& system) {
  system.PrepareLog();
  const char* argument = argc >= 2 ? argv[1] : nullptr;
  system.Log(argument ? argument : "(null)", runlog::Force::kAlways);
  if (!argument) {
    system.Log(text::kNoArgument, runlog::Force::kAlways);
    return -1;
  }

  std::vector<std::string> fields;
  char parameters[ansi::kBufferSize];
  // A link the code page could not hold names no installation: "nvzav://ก$x" would
  // arrive as "nvzav://?$x" and start the installation named "?". The parameters
  // are checked as cmd.exe will read them, from their own first byte: the payload
  // starts at byte 8 of the argument, which may be the second byte of a double-byte
  // character there and a lone | or ^ here.
  const ansi::CharNextFn step = system.CharStepper();
  if (!system.ArgumentIsExact(argument) || HasRefusedByte(argument, step) ||
      SplitRequest(argument, fields) != Request::kUsable || !ComposeParameters(argument, parameters) ||
      HasRefusedByte(parameters, step)) {
    system.Log(runlog::ComposeMessage({text::kBadFormat, argument}, step).text, runlog::Force::kAlways);
    return -1;
  }

  runlog::logLevel = VerboseRequested(fields) ? runlog::Level::kVerbose : runlog::Level::kQuiet;

  // The script runs in its own folder: cmd.exe looks for a bare command name (java,
  // net) in the current folder before the search path, and the current folder of
  // whatever followed the link may hold anything.
  StartScript script;
  if (FindStartScript(fields, script, system) == Lookup::kFound &&
      !system.ShellOpen(script.path.c_str(), parameters, script.folder.c_str())) {
    system.Log(runlog::ComposeMessage({text::kStartFailed, script.path.c_str()}, step).text,
               runlog::Force::kAlways);
    return 0;
  }
  system.Log(text::kExit, runlog::Force::kIfVerbose);
  return 0;
}

}  // namespace launcher
