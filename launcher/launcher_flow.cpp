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
  if (HasRefusedByte(argument, system.CharStepper()) || SplitRequest(argument, fields) != 0 ||
      !ComposeParameters(argument, parameters)) {
    char message[runlog::kBufferSize];
    runlog::CopyCut(message, text::kBadFormat);
    runlog::AppendCut(message, argument);
    runlog::LogMessage(message, 1);
    return -1;
  }

  runlog::logLevel = VerboseRequested(fields) ? 1 : -1;

  std::string scriptPath;
  if (FindStartScript(fields, scriptPath, system) == 1) {
    if (system.OpenScript(scriptPath.c_str(), parameters) <= 32) {
      char message[runlog::kBufferSize];
      runlog::CopyCut(message, text::kStartFailed);
      runlog::AppendCut(message, scriptPath.c_str());
      runlog::LogMessage(message, 1);
      return 0;
    }
  }
  runlog::LogMessage(text::kExit, 0);
  return 0;
}

}  // namespace launcher
