#include "install_lookup.h"

#include <cstring>

#include "launch_request.h"
#include "messages.h"

namespace launcher {

namespace {

void LogWith(const char* text, const char* detail, ansi::CharNextFn next) {
  runlog::LogMessage(runlog::ComposeMessage({text, detail}, next).text, runlog::Force::kAlways);
}

// The value in the first view that has it as a directory (a second view only where
// it is another node); kNoNode only when no view has the node.
LauncherSystem::ValueRead ReadInEitherView(LauncherSystem& system, const char* name, ValueData& data) {
  auto outcome = LauncherSystem::ValueRead::kNoNode;
  const bool twoViews = system.RegistryHasTwoViews();
  for (prefs::View view : prefs::kViews) {
    if (view == prefs::View::k64 && !twoViews) break;
    std::memset(data, 0, sizeof data);
    prefs::DataType type = prefs::DataType::kOther;
    auto read = system.ReadPrefsValue(name, view, data, type);
    if (read == LauncherSystem::ValueRead::kFound && prefs::NamesDirectory(type, data)) return read;
    if (read == LauncherSystem::ValueRead::kFound) read = LauncherSystem::ValueRead::kNoValue;
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

Lookup FindStartScript(const std::vector<std::string>& fields, std::string& scriptPath,
                       LauncherSystem& system) {
  const ansi::CharNextFn next = system.CharStepper();
  for (std::size_t index = 0; index < 2 && index < fields.size(); ++index) {
    char name[ansi::kBufferSize];
    ansi::CopyCut(name, CandidateName(fields, index).c_str(), next);

    ValueData data = {};
    switch (ReadInEitherView(system, name, data)) {
      case LauncherSystem::ValueRead::kNoNode:
        LogWith(text::kNoRegistryEntry, prefs::kNodePath, next);
        continue;
      case LauncherSystem::ValueRead::kNoValue:
        LogWith(text::kNoRegistryEntry, name, next);
        continue;
      case LauncherSystem::ValueRead::kFound:
        break;
    }

    // Plain concatenation: separators and trailing backslashes stay as written.
    std::string path = std::string(data) + "\\bin\\" + "clientStartUp.bat";
    // A path that would not fit the buffer is never cut into another path. The shell
    // would put environment values in place of a %NAME%: the script tested would not
    // be the script run.
    if (path.size() < kValueDataSize && !ansi::HasSingleOf(path.c_str(), "%", next) &&
        system.Exists(path.c_str())) {
      scriptPath = path;
      return Lookup::kFound;
    }
    LogWith(text::kFileMissing, path.c_str(), next);
  }
  return Lookup::kNotFound;
}

}  // namespace launcher
