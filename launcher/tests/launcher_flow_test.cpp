#include "launcher/launcher_flow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "launcher/messages.h"

namespace launcher {
namespace {

// Registry, files and shell of a pretend machine.
class FakeSystem : public LauncherSystem {
 public:
  bool nodeExists = true;
  std::map<std::string, std::string> values;  // raw data, at most 500 bytes are read
  // The 64-bit view: absent unless a test gives it.
  bool node64Exists = false;
  std::map<std::string, std::string> values64;
  std::set<std::string> notStrings;  // names whose data is of another type, in both views
  bool argumentExact = true;         // the code page held every character of the link
  std::set<std::string> files;
  bool shellOpens = true;

  std::vector<std::string> reads;  // in the 32-bit view
  std::vector<std::string> reads64;
  std::vector<std::pair<std::string, std::string>> opened;
  std::vector<std::string> folders;  // each opened script's working directory

  ValueRead ReadPrefsValue(const char* name, prefs::View view, ValueData& data,
                           prefs::DataType& type) override {
    bool in64 = view == prefs::View::k64;
    (in64 ? reads64 : reads).push_back(name);
    if (!(in64 ? node64Exists : nodeExists)) return ValueRead::kNoNode;
    auto& node = in64 ? values64 : values;
    auto it = node.find(name);
    if (it == node.end() || it->second.size() > kValueDataSize) return ValueRead::kNoValue;
    std::memcpy(data, it->second.data(), it->second.size());
    type = notStrings.count(name) ? prefs::DataType::kOther : prefs::DataType::kString;
    return ValueRead::kFound;
  }
  bool Exists(const char* path) override { return files.count(path) > 0; }
  bool RegistryHasTwoViews() override { return true; }
  bool ShellOpen(const char* script, const char* parameters, const char* folder) override {
    opened.emplace_back(script, parameters);
    folders.emplace_back(folder ? folder : "(current)");
    return shellOpens;
  }
  ansi::CharNextFn CharStepper() override { return &ansi::Gbk936CharNext; }
  bool ArgumentIsExact(const char*) override { return argumentExact; }
  // The real run log, in the test's folder.
  void PrepareLog() override {
    runlog::identity = kLogIdentity;
    ansi::CopyCut(runlog::logPath, logPath.c_str());
    ++logsPrepared;
  }
  void Log(const char* message, runlog::Force force) override { runlog::LogMessage(message, force); }

  std::string logPath;
  int logsPrepared = 0;
};

class LauncherRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/launcher-test-XXXXXX";
    dir_ = mkdtemp(tmpl);
    system.logPath = dir_ + "/launcher.log";
    runlog::logLevel = runlog::Level::kQuiet;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    runlog::logLevel = runlog::Level::kQuiet;
  }

  int Run(std::vector<const char*> args) {
    args.insert(args.begin(), "launcher.exe");
    return RunLauncher(static_cast<int>(args.size()), args.data(), system);
  }

  // The messages of the log's records, checked for the record shape on the way.
  std::vector<std::string> Messages() {
    std::ifstream in(dir_ + "/launcher.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string log = ss.str();
    std::regex record(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d launcher\(:227\):([^\r\n]*)\r\r\n)");
    std::vector<std::string> out;
    std::size_t consumed = 0;
    for (std::sregex_iterator it(log.begin(), log.end(), record), end; it != end; ++it) {
      EXPECT_EQ(static_cast<std::size_t>(it->position()), consumed) << "stray bytes in the log";
      consumed += it->length();
      out.push_back((*it)[1]);
    }
    EXPECT_EQ(consumed, log.size());
    return out;
  }

  // The script the run opened and its parameters, when it opened exactly one.
  using Opened = std::pair<std::string, std::string>;
  Opened OnlyOpened() const {
    return system.opened.size() == 1 ? system.opened[0] : Opened{"(none or several)", ""};
  }

  FakeSystem system;
  std::string dir_;
};

const std::string kNoEntry = text::kNoRegistryEntry;
const std::string kMissing = text::kFileMissing;
const std::string kBadFormat = text::kBadFormat;

TEST_F(LauncherRun, StartsTheScriptOfTheFirstCandidateQuietly) {
  system.values["a"] = "C:\\apps\\client";
  system.files.insert("C:\\apps\\client\\bin\\clientStartUp.bat");
  EXPECT_EQ(Run({"nvzav://a$b"}), 0);
  EXPECT_EQ(OnlyOpened(), Opened("C:\\apps\\client\\bin\\clientStartUp.bat", "isPortal a$b"));
  // In its own folder, never in whatever folder the link was followed from.
  EXPECT_EQ(system.folders, (std::vector<std::string>{"C:\\apps\\client\\bin"}));
  EXPECT_EQ(system.reads, (std::vector<std::string>{"a"}));
  EXPECT_EQ(system.logsPrepared, 1);  // once per run, before its first record
  EXPECT_EQ(Messages(), (std::vector<std::string>{"nvzav://a$b"}));
}

TEST_F(LauncherRun, VerboseRunWritesTheEndRecordAfterAStart) {
  system.values["srv-a"] = "C:\\apps\\client\\";
  system.files.insert("C:\\apps\\client\\\\bin\\clientStartUp.bat");
  EXPECT_EQ(Run({"nvzav://srv-a$srv-b$log/"}), 0);
  EXPECT_EQ(OnlyOpened(), Opened("C:\\apps\\client\\\\bin\\clientStartUp.bat", "isPortal srv-a$srv-b$log"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{"nvzav://srv-a$srv-b$log/", text::kExit}));
}

TEST_F(LauncherRun, FallsBackToTheSecondCandidateWhenTheFirstScriptIsMissing) {
  system.values["a"] = "C:\\gone";
  system.values["b"] = "D:/client";
  system.files.insert("D:/client\\bin\\clientStartUp.bat");
  EXPECT_EQ(Run({"nvzav://a$b$log"}), 0);
  EXPECT_EQ(OnlyOpened(), Opened("D:/client\\bin\\clientStartUp.bat", "isPortal a$b$log"));
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "nvzav://a$b$log", kMissing + "C:\\gone\\bin\\clientStartUp.bat", text::kExit}));
}

TEST_F(LauncherRun, PrefixRuleAppliesToFieldZeroOnly) {
  EXPECT_EQ(Run({"nvzav://$nvzav://x"}), 0);  // field 0 of exactly 8 bytes stays whole
  EXPECT_EQ(system.reads, (std::vector<std::string>{"nvzav://", "nvzav://x"}));
  system.reads.clear();
  EXPECT_EQ(Run({"abcdefghi$j"}), 0);
  EXPECT_EQ(system.reads, (std::vector<std::string>{"i", "j"}));
}

TEST_F(LauncherRun, MissingNodeIsLoggedForEachCandidate) {
  system.nodeExists = false;
  EXPECT_EQ(Run({"nvzav://a$b$log"}), 0);
  EXPECT_TRUE(system.opened.empty());
  std::string node = kNoEntry + "Software\\JavaSoft\\Prefs\\norvane\\zav";
  EXPECT_EQ(Messages(), (std::vector<std::string>{"nvzav://a$b$log", node, node, text::kExit}));
}

// Data too long to read, empty text and data of another type (a DWORD 0x3a43 reads
// "C:") name no directory: the value counts as missing, also where the script of
// the current drive's root (or of C:) exists.
TEST_F(LauncherRun, MissingValuesAreLoggedByName) {
  system.values["b"] = std::string(501, 'x');
  system.values["e"] = "";
  system.values["d"] = "C:";
  system.notStrings.insert("d");
  system.files = {"\\bin\\clientStartUp.bat", "C:\\bin\\clientStartUp.bat"};
  EXPECT_EQ(Run({"nvzav://a$b"}), 0);
  EXPECT_EQ(Run({"nvzav://e$d"}), 0);
  EXPECT_TRUE(system.opened.empty());
  EXPECT_EQ(Messages(), (std::vector<std::string>{"nvzav://a$b", kNoEntry + "a", kNoEntry + "b",
                                                  "nvzav://e$d", kNoEntry + "e", kNoEntry + "d"}));
}

TEST_F(LauncherRun, FailedStartIsLoggedWithoutTheEndRecord) {
  system.values["a"] = "C:\\c";
  system.files.insert("C:\\c\\bin\\clientStartUp.bat");
  system.shellOpens = false;
  EXPECT_EQ(Run({"nvzav://a$b$log"}), 0);
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"nvzav://a$b$log",
                                      text::kStartFailed + std::string("C:\\c\\bin\\clientStartUp.bat")}));
}

TEST_F(LauncherRun, UnusableRequestsEndWithMinusOneAndStartNothing) {
  EXPECT_EQ(Run({}), -1);
  EXPECT_EQ(Run({"nvzav://a"}), -1);
  EXPECT_EQ(Run({""}), -1);
  EXPECT_EQ(Run({"nvzav://a$b&echo INJECTED>C:\\x.txt"}), -1);
  system.argumentExact = false;  // "nvzav://ก$b" as code page 936 has it
  EXPECT_EQ(Run({"nvzav://?$b"}), -1);
  EXPECT_TRUE(system.reads.empty());
  EXPECT_TRUE(system.opened.empty());
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"(null)", text::kNoArgument, "nvzav://a", kBadFormat + "nvzav://a", "",
                                      kBadFormat, "nvzav://a$b&echo INJECTED>C:\\x.txt",
                                      kBadFormat + "nvzav://a$b&echo INJECTED>C:\\x.txt", "nvzav://?$b",
                                      kBadFormat + "nvzav://?$b"}));
}

// 區 is 0x85 0x5E in code page 936: its second byte is no caret, so it is looked up;
// a % would let cmd.exe put environment values in the script's parameters.
TEST_F(LauncherRun, DoubleByteNamesAreLookedUpAndPercentIsRefused) {
  system.values["\x85\x5e"] = "C:\\c";
  system.files.insert("C:\\c\\bin\\clientStartUp.bat");
  EXPECT_EQ(Run({"nvzav://\x85\x5e$x"}), 0);
  EXPECT_EQ(OnlyOpened().second, "isPortal \x85\x5e$x");
  system.reads.clear();
  EXPECT_EQ(Run({"nvzav://\x85\x5e$x$%USERNAME%"}), -1);
  EXPECT_TRUE(system.reads.empty());
  EXPECT_EQ(system.opened.size(), 1u);
  EXPECT_EQ(Messages().back(), kBadFormat + "nvzav://\x85\x5e$x$%USERNAME%");

  // A lead byte at index 7 pairs with the payload's first byte in the argument, but
  // the parameters start with that byte alone: a pipe or a caret there is refused.
  for (const char* lead : {"\x81", "\xc5", "\xfe"}) {
    for (const char* trail : {"|", "^"}) {
      std::string link = std::string("nvzav:a") + lead + trail + "mkdir C:\\INJ $c1";
      EXPECT_EQ(Run({link.c_str()}), -1) << link;
      EXPECT_EQ(Messages().back(), kBadFormat + link);
    }
  }
  EXPECT_TRUE(system.reads.empty());
  EXPECT_EQ(system.opened.size(), 1u);
}

// A value in either view is found, the 32-bit one first; a candidate that fails is
// logged once, as the node missing only when neither view has the node.
TEST_F(LauncherRun, BothRegistryViewsAreReadThe32BitOneFirst) {
  system.node64Exists = true;
  system.values["a"] = "C:\\old";
  system.values64["a"] = "C:\\new";
  system.values64["b"] = "C:\\new";
  system.files.insert("C:\\old\\bin\\clientStartUp.bat");
  system.files.insert("C:\\new\\bin\\clientStartUp.bat");
  EXPECT_EQ(Run({"nvzav://a$b"}), 0);
  EXPECT_EQ(system.opened.back().first, "C:\\old\\bin\\clientStartUp.bat");
  EXPECT_TRUE(system.reads64.empty());
  EXPECT_EQ(Run({"nvzav://x$b"}), 0);
  EXPECT_EQ(system.opened.back().first, "C:\\new\\bin\\clientStartUp.bat");
  EXPECT_EQ(system.reads64, (std::vector<std::string>{"x", "b"}));

  system.nodeExists = false;  // the 64-bit view alone has the node
  EXPECT_EQ(Run({"nvzav://y$z"}), 0);
  system.node64Exists = false;
  EXPECT_EQ(Run({"nvzav://y$z"}), 0);
  std::string node = kNoEntry + "Software\\JavaSoft\\Prefs\\norvane\\zav";
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"nvzav://a$b", "nvzav://x$b", kNoEntry + "x", "nvzav://y$z",
                                      kNoEntry + "y", kNoEntry + "z", "nvzav://y$z", node, node}));
  EXPECT_EQ(system.opened.size(), 2u);
}

TEST_F(LauncherRun, OversizedRequestIsRefusedAndItsRecordsAreCut) {
  std::string huge = "nvzav://a$" + std::string(64 * 1024, 'b');
  EXPECT_EQ(Run({huge.c_str()}), -1);
  EXPECT_TRUE(system.reads.empty());
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].size(), 499u);
  EXPECT_EQ(messages[1].size(), 499u);
  EXPECT_EQ(messages[1].compare(0, kBadFormat.size(), kBadFormat), 0);
}

TEST_F(LauncherRun, DataOfExactly500BytesWithoutTerminatorStaysInsideTheBuffer) {
  system.values["a"] = std::string(500, 'D');
  EXPECT_EQ(Run({"nvzav://a$b"}), 0);  // path too long for the buffer: not found, not cut
  auto messages = Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[1].size(), 499u);
  EXPECT_EQ(messages[1].substr(0, kMissing.size()), kMissing);
  EXPECT_EQ(messages[1].substr(kMissing.size()), std::string(499 - kMissing.size(), 'D'));
}

}  // namespace
}  // namespace launcher
