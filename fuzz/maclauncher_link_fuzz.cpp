// Property: the handler's second argument is the link exactly as it came, the script
// path is the client directory and "/bin/clientStartup.sh", and a script is only ever
// allowed for an absolute directory without ".." components.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "link.h"
#include "script_guard.h"

namespace {

bool HasParentComponent(const std::string& dir) {
  std::size_t start = 0;
  while (start <= dir.size()) {
    std::size_t end = dir.find('/', start);
    if (end == std::string::npos) end = dir.size();
    if (dir.compare(start, end - start, "..") == 0 && end - start == 2) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view link(reinterpret_cast<const char*>(data), size);
  auto command = maclauncher::ReadLink(link);
  if (!command) return 0;

  FUZZ_CHECK(command->arguments.size() == 2);
  FUZZ_CHECK(command->arguments[1] == link);
  FUZZ_CHECK(command->arguments[0] == command->scriptPath);
  FUZZ_CHECK(command->scriptPath == command->clientDirectory + "/bin/clientStartup.sh");
  FUZZ_CHECK(link.find(command->clientDirectory) != std::string_view::npos ||
             link.find("nvzav://") != std::string_view::npos);

  auto verdict =
      maclauncher::CheckStartScript(command->clientDirectory, [](const std::string&) { return false; });
  if (verdict == maclauncher::ScriptVerdict::kAllowed) {
    FUZZ_CHECK(!command->clientDirectory.empty() && command->clientDirectory[0] == '/');
    FUZZ_CHECK(!HasParentComponent(command->clientDirectory));
  }
  return 0;
}
