// The installer's run log: file name beside the executable, identity of its records,
// and the size cap applied at start.
#include "installer/install_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/runlog/runlog.h"

namespace {

std::string LogBesideExecutable() {
  char exe[ansi::kBufferSize];
  if (!runlog::platform::ExecutablePath(exe)) return "";
  std::string path(exe);
  return path.substr(0, path.rfind('/')) + "/zavServiceInstall.log";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(InstallLog, BesideTheExecutableWithTheInstallersIdentityAndSizeCap) {
  std::string path = LogBesideExecutable();
  ASSERT_FALSE(path.empty());
  std::remove(path.c_str());
  zavinstaller::PrepareRunLog();
  EXPECT_EQ(std::string(runlog::logPath), path);
  zavinstaller::LogLine("first");
  zavinstaller::LogLine("");
  std::string content = ReadAll(path);
  std::remove(path.c_str());
  // Timestamp (19 characters), blank, then the installer's unit and line.
  ASSERT_EQ(content.size(), 2 * 20 + std::string("zavserviceInstaller2(:52):first\r\r\n").size() +
                                std::string("zavserviceInstaller2(:52):\r\r\n").size());
  EXPECT_EQ(content.substr(20, 34), "zavserviceInstaller2(:52):first\r\r\n");
  EXPECT_EQ(content.substr(74), "zavserviceInstaller2(:52):\r\r\n");

  // An oversized log is dropped at start and the run starts a fresh file. (One test,
  // not two: both use the one file beside the executable.)
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << std::string(0x500000 + 1, 'x');
  }
  zavinstaller::PrepareRunLog();
  zavinstaller::LogLine("Hello");
  content = ReadAll(path);
  std::remove(path.c_str());
  EXPECT_EQ(content.size(), 20 + std::string("zavserviceInstaller2(:52):Hello\r\r\n").size());
}

}  // namespace
