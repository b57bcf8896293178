#include "launcher_flow.h"

#include <vector>

#include "launch_request.h"
#include "messages.h"

namespace launcher {

int RunLauncher(int argc, const char* const* argv, LauncherSystem& system) {
  const char* argument = argc >= 2 ? argv[1] : nullptr;
  runlog::LogMessage(argument ? argument : "(null)", 1);
  if (!argument) {
    runlog::LogMessage(text::kNoArgument, 1);
    return -1;
  }

  std::vector<std::string> fields;
  char parameters[runlog::kBufferSize];
  // The parameters are checked as cmd.exe will read them, from their own first byte:
  // the payload starts at byte 8 of the argument, which may be the second byte of a
  // double-byte character there and a lone | or ^ here.
  // A link the code page could not hold names no installation: "nvzav://ก$x" would
  // arrive as "nvzav://?$x" and start the installation named "?".
  const ansi::CharNextFn step = system.CharStepper();
  if (!system.ArgumentIsExact(argument) || HasRefusedByte(argument, step) ||
      SplitRequest(argument, fields) != 0 || !ComposeParameters(argument, parameters) ||
      HasRefusedByte(parameters, step)) {
    char message[runlog::kBufferSize];
    runlog::CopyCut(message, text::kBadFormat, step);
    runlog::AppendCut(message, argument, step);
    runlog::LogMessage(message, 1);
    return -1;
  }

  runlog::logLevel = VerboseRequested(fields) ? 1 : -1;

  std::string scriptPath;
  if (FindStartScript(fields, scriptPath, system) == 1) {
    if (system.OpenScript(scriptPath.c_str(), parameters) <= 32) {
      char message[runlog::kBufferSize];
      runlog::CopyCut(message, text::kStartFailed, step);
      runlog::AppendCut(message, scriptPath.c_str(), step);
      runlog::LogMessage(message, 1);
      return 0;
    }
  }
  runlog::LogMessage(text::kExit, 0);
  return 0;
}

}  // namespace launcher
