#include "install_lookup.h"

#include <cstring>

#include "launch_request.h"
#include "messages.h"

namespace launcher {

namespace {

void LogWith(const char* text, const char* detail) {
  char message[runlog::kBufferSize];
  runlog::CopyCut(message, text);
  runlog::AppendCut(message, detail);
  runlog::LogMessage(message, 1);
}

// The value in the first view that has it; kNoNode only when no view has the node.
LauncherSystem::ValueRead ReadInEitherView(LauncherSystem& system, const char* name, ValueData& data) {
  auto outcome = LauncherSystem::ValueRead::kNoNode;
  for (prefs::View view : prefs::kViews) {
    std::memset(data, 0, sizeof data);
    auto read = system.ReadPrefsValue(name, view, data);
    if (read == LauncherSystem::ValueRead::kFound) return read;
    if (read == LauncherSystem::ValueRead::kNoValue) outcome = read;
  }
  std::memset(data, 0, sizeof data);
  return outcome;
}

std::string CandidateName(const std::vector<std::string>& fields, std::size_t index) {
  const std::string& field = fields[index];
  if (index == 0 && field.size() > kPrefixLength) return field.substr(kPrefixLength);
  return field;
}

}  // namespace

int FindStartScript(const std::vector<std::string>& fields, std::string& scriptPath, LauncherSystem& system) {
  for (std::size_t index = 0; index < 2 && index < fields.size(); ++index) {
    char name[runlog::kBufferSize];
    runlog::CopyCut(name, CandidateName(fields, index).c_str());

    ValueData data = {};
    switch (ReadInEitherView(system, name, data)) {
      case LauncherSystem::ValueRead::kNoNode:
        LogWith(text::kNoRegistryEntry, prefs::kNodePath);
        continue;
      case LauncherSystem::ValueRead::kNoValue:
        LogWith(text::kNoRegistryEntry, name);
        continue;
      case LauncherSystem::ValueRead::kFound:
        break;
    }

    // Plain concatenation: separators and trailing backslashes stay as written.
    std::string path = std::string(data) + "\\bin\\" + "clientStartUp.bat";
    // A path that would not fit the buffer is never cut into another path.
    if (path.size() < kValueDataSize && system.PathExists(path.c_str())) {
      scriptPath = path;
      return 1;
    }
    LogWith(text::kFileMissing, path.c_str());
  }
  return -1;
}

}  // namespace launcher
