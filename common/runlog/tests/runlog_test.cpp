#include "common/runlog/runlog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/runlog-test-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const char* name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::tm At(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

TEST(RunLogRecord, HasTimestampUnitLineMessageAndCrCrLf) {
  char out[runlog::kRecordCapacity];
  std::size_t n = runlog::FormatRecord(out, At(2024, 3, 5, 14, 7, 9), "launcher", 227, "hello");
  EXPECT_EQ(std::string(out, n), "2024-03-05 14:07:09 launcher(:227):hello\r\r\n");
}

TEST(RunLogRecord, EmptyMessageEndsRightAfterColon) {
  char out[runlog::kRecordCapacity];
  std::size_t n = runlog::FormatRecord(out, At(2001, 1, 2, 3, 4, 5), "zavserviceInstaller2", 52, "");
  EXPECT_EQ(std::string(out, n), "2001-01-02 03:04:05 zavserviceInstaller2(:52):\r\r\n");
}

TEST(RunLogRecord, MessageBytesPassUnchangedAndLongOnesAreCut) {
  char out[runlog::kRecordCapacity];
  const char gbk[] = "\xd7\xa2\xb2\xe1%s%d\\";  // bytes, including printf-like text
  std::size_t n = runlog::FormatRecord(out, At(2024, 1, 1, 0, 0, 0), "u", 1, gbk);
  EXPECT_EQ(std::string(out, n), std::string("2024-01-01 00:00:00 u(:1):") + gbk + "\r\r\n");

  std::string huge(5000, 'x');
  n = runlog::FormatRecord(out, At(2024, 1, 1, 0, 0, 0), "u", 1, huge.c_str());
  std::string rec(out, n);
  EXPECT_EQ(rec, "2024-01-01 00:00:00 u(:1):" + std::string(499, 'x') + "\r\r\n");

  // Cut between characters: never a lead byte without its second byte before the CR.
  std::string zhong = "CC";
  for (int i = 0; i < 300; ++i) zhong += "\xd6\xd0";
  n = runlog::FormatRecord(out, At(2024, 1, 1, 0, 0, 0), "u", 1, zhong.c_str(), &ansi::Gbk936CharNext);
  EXPECT_EQ(std::string(out, n), "2024-01-01 00:00:00 u(:1):" + zhong.substr(0, 498) + "\r\r\n");
}

// A record is one line: text from a link or the registry that holds CR, LF or other
// control bytes cannot add a record of its own, even a message of nothing else.
TEST(RunLogRecord, ControlBytesInsideTheMessageAreWrittenVisibly) {
  char out[runlog::kRecordCapacity];
  std::size_t n =
      runlog::FormatRecord(out, At(2024, 1, 1, 0, 0, 0), "u", 1,
                           "C:\\a\r\n2026-01-01 00:00:00 launcher(:227):FORGED\n\x1b[2J\t\x01\x7f");
  EXPECT_EQ(
      std::string(out, n),
      "2024-01-01 00:00:00 u(:1):C:\\a\\r\\n2026-01-01 00:00:00 launcher(:227):FORGED\\n\\x1b[2J\\t\\x01\x7f"
      "\r\r\n");
  std::string controls(700, '\x1f');
  n = runlog::FormatRecord(out, At(2024, 1, 1, 0, 0, 0), "zavserviceInstaller2", 52, controls.c_str());
  std::string expected = "2024-01-01 00:00:00 zavserviceInstaller2(:52):";
  for (int i = 0; i < 499; ++i) expected += "\\x1f";
  EXPECT_EQ(std::string(out, n), expected + "\r\r\n");
}

TEST(RunLogPath, BesideTheExecutable) {
  char path[ansi::kBufferSize];
  ASSERT_TRUE(runlog::ComposeLogPath("C:\\tools\\launcher.exe", '\\', "launcher.log", path));
  EXPECT_STREQ(path, "C:\\tools\\launcher.log");
  ASSERT_TRUE(runlog::ComposeLogPath("C:\\launcher.exe", '\\', "launcher.log", path));
  EXPECT_STREQ(path, "C:\\launcher.log");
}

TEST(RunLogPath, RefusesWhatWouldNotFit) {
  char path[ansi::kBufferSize] = "unchanged";
  std::string exe = "C:\\" + std::string(480, 'd') + "\\launcher.exe";
  EXPECT_FALSE(runlog::ComposeLogPath(exe.c_str(), '\\', "zavServiceInstall.log", path));
  EXPECT_STREQ(path, "unchanged");
  EXPECT_FALSE(runlog::ComposeLogPath("launcher.exe", '\\', "launcher.log", path));
  // Exactly filling the buffer (499 bytes and the terminator) still works.
  std::string dir = "C:\\" + std::string(499 - 3 - 1 - 12, 'd');
  ASSERT_TRUE(runlog::ComposeLogPath((dir + "\\launcher.exe").c_str(), '\\', "launcher.log", path));
  EXPECT_EQ(std::strlen(path), 499u);
}

TEST(RunLogPath, MakeLogPathUsesThisExecutablesDirectory) {
  char path[ansi::kBufferSize];
  runlog::MakeLogPath(path, "launcher.log");
  char exe[ansi::kBufferSize];
  ASSERT_TRUE(runlog::platform::ExecutablePath(exe));
  struct stat program;
  ASSERT_EQ(stat(exe, &program), 0) << exe;  // this very test program
  EXPECT_TRUE(S_ISREG(program.st_mode));
  EXPECT_NE(std::strstr(exe, "runlog_test"), nullptr) << exe;
  std::string dir(exe, std::strrchr(exe, '/') - exe);
  EXPECT_EQ(std::string(path), dir + "/launcher.log");
}

// Writers of one log share a lock name; the name is a valid object name whatever
// the path holds, and paths differing in more than letter case get their own.
TEST(RunLogAppendLock, NameFoldsCaseOnlyAndIsAlwaysAShortPlainName) {
  auto nameOf = [](const char* path) {
    char name[runlog::kAppendLockNameSize];
    std::memset(name, 'x', sizeof name);
    runlog::MakeAppendLockName(path, name);
    return std::string(name, strnlen(name, sizeof name));
  };
  const std::string a = nameOf("C:\\Program Files\\Zav\\launcher.log");
  EXPECT_TRUE(std::regex_match(a, std::regex("zavlog-[0-9a-f]{16}"))) << a;
  EXPECT_EQ(a, nameOf("c:\\PROGRAM FILES\\zav\\Launcher.LOG"));
  EXPECT_NE(a, nameOf("C:\\Program Files\\Zav\\zavServiceInstall.log"));
  EXPECT_NE(a, nameOf("D:\\Program Files\\Zav\\launcher.log"));
  // Bytes above 0x7F (double-byte characters) are not folded.
  EXPECT_NE(nameOf("C:\\\xc4\xe3\\a.log"), nameOf("C:\\\xe4\xe3\\a.log"));
  std::string longPath(ansi::kBufferSize - 1, 'p');
  EXPECT_TRUE(std::regex_match(nameOf(longPath.c_str()), std::regex("zavlog-[0-9a-f]{16}")));
  EXPECT_TRUE(std::regex_match(nameOf(nullptr), std::regex("zavlog-[0-9a-f]{16}")));
}

class RunLogFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ansi::CopyCut(runlog::logPath, dir.File("t.log").c_str());
    runlog::identity = {"launcher", 227};
    runlog::logLevel = runlog::Level::kQuiet;
  }
  void TearDown() override { runlog::logLevel = runlog::Level::kQuiet; }
  std::string Log() { return ReadAll(dir.File("t.log")); }
  TempDir dir;
};

TEST_F(RunLogFile, ForceAndVerboseSwitchDecideWhatIsWritten) {
  runlog::LogMessage("quiet", runlog::Force::kIfVerbose);
  EXPECT_EQ(Log(), "");
  runlog::LogMessage("forced", runlog::Force::kAlways);
  runlog::logLevel = runlog::Level::kVerbose;
  runlog::LogMessage("verbose", runlog::Force::kIfVerbose);
  runlog::logLevel = runlog::Level::kQuiet;
  runlog::LogMessage("quiet again", runlog::Force::kIfVerbose);

  std::regex record(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d launcher\(:227\):(.*)\r\r\n)");
  std::string log = Log();
  std::vector<std::string> messages;
  for (std::sregex_iterator it(log.begin(), log.end(), record), end; it != end; ++it) {
    messages.push_back((*it)[1]);
  }
  EXPECT_EQ(messages, (std::vector<std::string>{"forced", "verbose"}));
  EXPECT_EQ(log.size(), 2 * std::string("2024-01-01 00:00:00 launcher(:227):\r\r\n").size() +
                            std::string("forcedverbose").size());
}

TEST_F(RunLogFile, RecordsAreAppendedInOrder) {
  runlog::WriteLogLine(runlog::logPath, "one", "zavserviceInstaller2", 52);
  runlog::WriteLogLine(runlog::logPath, "two", "zavserviceInstaller2", 52);
  std::string log = Log();
  auto first = log.find("zavserviceInstaller2(:52):one\r\r\n");
  auto second = log.find("zavserviceInstaller2(:52):two\r\r\n");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
}

TEST_F(RunLogFile, UnwritableLogIsDroppedSilently) {
  ansi::CopyCut(runlog::logPath, dir.File("missing-dir/t.log").c_str());
  runlog::LogMessage("lost", runlog::Force::kAlways);  // must neither crash nor create anything
  struct stat st;
  EXPECT_NE(stat(dir.File("missing-dir").c_str(), &st), 0);
}

TEST_F(RunLogFile, TrimDeletesOnlyLogsAboveTheCap) {
  std::string path = dir.File("t.log");
  auto makeFile = [&](long size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    ASSERT_EQ(truncate(path.c_str(), size), 0);
  };
  makeFile(runlog::kSizeCap);
  runlog::TrimOversizedLog(path.c_str());
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, runlog::kSizeCap);

  makeFile(runlog::kSizeCap + 1L);
  runlog::TrimOversizedLog(path.c_str());
  EXPECT_NE(stat(path.c_str(), &st), 0);
  runlog::LogMessage("fresh", runlog::Force::kAlways);
  EXPECT_NE(Log().find("fresh"), std::string::npos);
  EXPECT_LT(Log().size(), 100u);

  runlog::TrimOversizedLog(dir.File("none.log").c_str());  // no file: nothing happens
}

}  // namespace
