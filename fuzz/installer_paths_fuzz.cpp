// Property: from any command line and any registry contents, the installer never hands
// the system a path, command line or file name longer than its 500-byte buffer, and
// every byte outside plain ASCII in them comes from the registry data or the profile;
// nothing it hands the shell holds a %, and no parameter holds a character cmd.exe
// interprets (read as code page 936 characters).
//
// Input: a command line, then value name / data pairs, separated by zero bytes; the
// first byte chooses which paths exist and whether the service comes up.
#include <set>
#include <string>
#include <vector>

#include "installer/tests/fake_platform.h"
#include "fuzz/fuzz_check.h"

namespace {

class FuzzPlatform : public fake::Platform {
 public:
  unsigned existsPattern = 0;
  std::vector<std::string> handedOver;

  bool Exists(const char* path) override {
    handedOver.emplace_back(path);
    std::size_t h = std::hash<std::string>()(path);
    return (existsPattern >> (h % 8)) & 1;
  }
  bool ShellOpen(const char* file, const char* params, const char* folder) override {
    FUZZ_CHECK(!ansi::HasSingleOf(file, "%", fake::DbcsNext));
    FUZZ_CHECK(!ansi::HasSingleOf(params, "%&|<>^\"", fake::DbcsNext));
    handedOver.emplace_back(file);
    handedOver.emplace_back(params);
    return fake::Platform::ShellOpen(file, params, folder);
  }
  std::optional<std::uint32_t> StartAndWait(const char* program, const char* commandLine) override {
    handedOver.emplace_back(program);
    handedOver.emplace_back(commandLine);
    return fake::Platform::StartAndWait(program, commandLine);
  }
  bool CreateEmptyFile(const char* path) override {
    handedOver.emplace_back(path);
    return fake::Platform::CreateEmptyFile(path);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  parts.push_back(current);

  FuzzPlatform p;
  p.existsPattern = data[0];
  if (data[0] & 0x80) p.takenPorts.insert(zavinstaller::kServicePort);
  std::set<unsigned char> inputBytes;
  for (std::size_t i = 1; i + 1 < parts.size(); i += 2) {
    p.values.emplace_back(parts[i], parts[i + 1]);
    for (unsigned char c : parts[i + 1]) inputBytes.insert(c);
  }
  for (unsigned char c : *p.userProfile) inputBytes.insert(c);

  zavinstaller::RunInstaller(p, parts[0].c_str());

  for (const std::string& s : p.handedOver) {
    FUZZ_CHECK(s.size() < zavinstaller::kBufferSize);
    for (unsigned char c : s) {
      if (c >= 0x80 || c < 0x20) FUZZ_CHECK(inputBytes.count(c) != 0);
    }
  }
  for (const std::string& line : p.logs) FUZZ_CHECK(line.size() < zavinstaller::kBufferSize);
  return 0;
}
