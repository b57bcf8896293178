// Property: a link is either refused (exit -1, nothing looked up or started), or the
// start script gets exactly "isPortal " and the payload, holding no refused byte and
// fitting the 500-byte buffer.
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "launcher/launch_request.h"
#include "launcher/launcher_flow.h"

namespace {

class FuzzSystem : public launcher::LauncherSystem {
 public:
  int reads = 0;
  int starts = 0;
  std::string parameters;
  ValueRead ReadPrefsValue(const char*, prefs::View, launcher::ValueData& data,
                           prefs::DataType& type) override {
    ++reads;
    std::memcpy(data, "C:\\client", 10);
    type = prefs::DataType::kString;
    return ValueRead::kFound;
  }
  bool Exists(const char*) override { return true; }
  bool RegistryHasTwoViews() override { return true; }
  bool ShellOpen(const char*, const char* params, const char*) override {
    ++starts;
    parameters = params;
    return true;
  }
  ansi::CharNextFn CharStepper() override { return &ansi::Gbk936CharNext; }
  bool ArgumentIsExact(const char*) override { return true; }
  // Records are formatted and written as always, into /dev/null.
  void PrepareLog() override {
    runlog::identity = launcher::kLogIdentity;
    ansi::CopyCut(runlog::logPath, "/dev/null");
  }
  void Log(const char* message, runlog::Force force) override { runlog::LogMessage(message, force); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string argument(reinterpret_cast<const char*>(data), size);
  argument = argument.c_str();  // a command-line argument ends at its first zero byte

  runlog::logLevel = runlog::Level::kQuiet;

  FuzzSystem system;
  const char* argv[] = {"launcher.exe", argument.c_str()};
  int code = launcher::RunLauncher(2, argv, system);

  if (code == -1) {
    FUZZ_CHECK(system.reads == 0 && system.starts == 0);
    return 0;
  }
  FUZZ_CHECK(code == 0);
  FUZZ_CHECK(system.starts == 1);
  std::string payload = argument.size() > 8 ? argument.substr(8) : "";
  if (!payload.empty() && payload.back() == '/') payload.pop_back();
  FUZZ_CHECK(system.parameters == "isPortal " + payload);
  FUZZ_CHECK(system.parameters.size() < ansi::kBufferSize);
  FUZZ_CHECK(!launcher::HasRefusedByte(system.parameters.c_str(), &ansi::Gbk936CharNext));
  // Read as code page 936 characters, the parameters hold no single-byte character
  // cmd.exe interprets: no & | < > ^ " %, no control byte.
  for (const char* p = system.parameters.c_str(); *p;) {
    const char* n = ansi::Step(&ansi::Gbk936CharNext, p);
    if (n == p + 1) {
      FUZZ_CHECK(std::strchr("&|<>^\"%", *p) == nullptr && (unsigned char)*p >= 0x20);
    }
    p = n;
  }
  return 0;
}
