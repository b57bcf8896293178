#include "install_lookup.h"

#include <cstring>

#include "launch_request.h"
#include "messages.h"

namespace launcher {

const char kPrefsNodePath[] = "Software\\JavaSoft\\Prefs\\norvane\\zav";

namespace {

void LogWith(const char* text, const char* detail) {
  char message[runlog::kBufferSize];
  runlog::CopyCut(message, text);
  runlog::AppendCut(message, detail);
  runlog::LogMessage(message, 1);
}

std::string CandidateName(const std::vector<std::string>& fields, std::size_t index) {
  const std::string& field = fields[index];
  if (index == 0 && field.size() > kPrefixLength) return field.substr(kPrefixLength);
  return field;
}

}  // namespace

int FindStartScript(const std::vector<std::string>& fields, std::string& scriptPath,
                    LauncherSystem& system) {
  for (std::size_t index = 0; index < 2 && index < fields.size(); ++index) {
    char name[runlog::kBufferSize];
    runlog::CopyCut(name, CandidateName(fields, index).c_str());

    ValueData data = {};
    switch (system.ReadPrefsValue(name, data)) {
      case LauncherSystem::ValueRead::kNoNode:
        LogWith(text::kNoRegistryEntry, kPrefsNodePath);
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
