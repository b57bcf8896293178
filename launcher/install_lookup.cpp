#include "launcher/install_lookup.h"

#include <cstring>

#include "launcher/launch_request.h"
#include "launcher/messages.h"

namespace launcher {

namespace {

void LogWith(LauncherSystem& system, const char* text, const char* detail, ansi::CharNextFn next) {
  system.Log(runlog::ComposeMessage({text, detail}, next).text, runlog::Force::kAlways);
}

std::string CandidateName(const std::vector<std::string>& fields, std::size_t index) {
  const std::string& field = fields[index];
  if (index == 0 && field.size() > kPrefixLength) return field.substr(kPrefixLength);
  return field;
}

}  // namespace

Lookup FindStartScript(const std::vector<std::string>& fields, StartScript& script, LauncherSystem& system) {
  const ansi::CharNextFn next = system.CharStepper();
  const bool twoViews = system.RegistryHasTwoViews();
  for (std::size_t index = 0; index < 2 && index < fields.size(); ++index) {
    char name[ansi::kBufferSize];
    ansi::CopyCut(name, CandidateName(fields, index).c_str(), next);

    bool anyNode = false, anyDirectory = false;
    for (prefs::View view : prefs::kViews) {
      if (view == prefs::View::k64 && !twoViews) break;
      ValueData data = {};
      prefs::DataType type = prefs::DataType::kOther;
      const auto read = system.ReadPrefsValue(name, view, data, type);
      anyNode = anyNode || read != LauncherSystem::ValueRead::kNoNode;
      if (read != LauncherSystem::ValueRead::kFound || !prefs::NamesDirectory(type, data)) continue;
      anyDirectory = true;

      // Plain concatenation: separators and trailing backslashes stay as written.
      std::string folder = std::string(data) + "\\bin";
      std::string path = folder + "\\clientStartUp.bat";
      // A path that would not fit the buffer is never cut into another path. The shell
      // would put environment values in place of a %NAME%: the script tested would not
      // be the script run.
      if (path.size() < kValueDataSize && !ansi::HasSingleOf(path.c_str(), "%", next) &&
          system.Exists(path.c_str())) {
        script = {path, folder};
        return Lookup::kFound;
      }
      LogWith(system, text::kFileMissing, path.c_str(), next);
    }
    if (!anyDirectory) LogWith(system, text::kNoRegistryEntry, anyNode ? name : prefs::kNodePath, next);
  }
  return Lookup::kNotFound;
}

}  // namespace launcher
