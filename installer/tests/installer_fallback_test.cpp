// The installer's fallback and main flow over a model machine: the shortcut pass,
// the marker and closing test of the fallback, and every branch of the main flow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "installer_core.h"
#include "texts.h"

namespace {

using namespace zavinstaller;
namespace t = zavinstaller::text;
using fake::Cat;
using fake::Logs;

// ---------------------------------------------------------------- shortcut pass

class ShortcutPass : public ::testing::Test {
 protected:
  fake::Platform m;
};

TEST_F(ShortcutPass, NodeThatCannotBeOpened) {
  m.nodeExists = false;
  EXPECT_EQ(InstallStartupShortcut(m), -1);
  EXPECT_EQ(m.logs, Logs({t::kRegistryOpenFailed}));
  EXPECT_EQ(m.closes, 0);
}

TEST_F(ShortcutPass, FirstClientWithTheShortcutScriptIsUsedAsWritten) {
  m.values.emplace_back("unreadable", std::nullopt);
  m.values.emplace_back("old", "C:\\old");
  m.values.emplace_back("zav", "D:/apps/client");
  m.values.emplace_back("later", "E:\\later");
  m.paths.insert("D:/apps/client\\bin\\makeshortcut.bat");
  m.paths.insert("E:\\later\\bin\\makeshortcut.bat");
  EXPECT_EQ(InstallStartupShortcut(m), 1);
  EXPECT_EQ(m.logs, Logs({"unreadable", Cat({t::kNoSuchEntry, "unreadable"}), "old",
                          Cat({t::kFileMissing, "C:\\old\\bin\\makeshortcut.bat"}), "zav"}));
  ASSERT_EQ(m.shellOpens.size(), 2u);
  EXPECT_EQ(m.shellOpens[0],
            std::make_pair(std::string("D:/apps/client\\bin\\makeshortcut.bat"), std::string()));
  EXPECT_EQ(m.shellOpens[1],
            std::make_pair(std::string("D:/apps/client\\bin\\startzavservice.bat"), std::string()));
  EXPECT_EQ(m.out, "unreadable\nold\nzav\n");
  EXPECT_EQ(m.closes, 1);
}

TEST_F(ShortcutPass, ShellFailuresEndThePass) {
  {
    fake::Platform p;
    p.values = {{"a", std::string("C:\\a")}, {"b", std::string("C:\\b")}};
    p.paths = {"C:\\a\\bin\\makeshortcut.bat", "C:\\b\\bin\\makeshortcut.bat"};
    p.shellFails.insert("C:\\a\\bin\\makeshortcut.bat");
    EXPECT_EQ(InstallStartupShortcut(p), 0);
    EXPECT_EQ(p.logs.back(), Cat({t::kShellFailed, "C:\\a\\bin\\makeshortcut.bat"}));
    EXPECT_EQ(p.shellOpens.size(), 1u);  // "b" is not tried
    EXPECT_EQ(p.closes, 1);
  }
  {
    fake::Platform p;
    p.values = {{"a", std::string("C:\\a")}};
    p.paths = {"C:\\a\\bin\\makeshortcut.bat"};
    p.shellFails.insert("C:\\a\\bin\\startzavservice.bat");
    EXPECT_EQ(InstallStartupShortcut(p), 0);
    EXPECT_EQ(p.logs.back(), Cat({t::kShellFailed, "C:\\a\\bin\\startzavservice.bat"}));
    EXPECT_EQ(p.closes, 1);
  }
}

// Both walks: the 32-bit view of the node first, then the 64-bit one, each value name
// once, names compared without case (the 32-bit view's value wins, unless it cannot
// be read); the node that cannot be opened is logged only when neither view has it.
TEST_F(ShortcutPass, BothRegistryViewsAreWalkedEachNameOnce) {
  m.values = {{"both", std::nullopt}, {"old", std::string("C:\\old")}};
  m.node64Exists = true;
  m.values64 = {
      {"OLD", std::string("D:\\new")}, {"both", std::string("E:\\x")}, {"new", std::string("D:\\new")}};
  m.paths = {"E:\\x\\bin\\makeshortcut.bat", "D:\\new\\bin\\makeshortcut.bat"};
  EXPECT_EQ(InstallStartupShortcut(m), 1);
  EXPECT_EQ(m.logs, Logs({"both", Cat({t::kNoSuchEntry, "both"}), "old",
                          Cat({t::kFileMissing, "C:\\old\\bin\\makeshortcut.bat"}), "both"}));
  EXPECT_EQ(m.shellOpens[0].first, "E:\\x\\bin\\makeshortcut.bat");
  EXPECT_EQ(m.out, "both\nold\nboth\n");
  EXPECT_EQ(m.opens, 2);
  EXPECT_EQ(m.closes, 2);

  fake::Platform only64;
  only64.nodeExists = false;
  only64.node64Exists = true;
  EXPECT_EQ(InstallServiceFromClient(only64), 0);
  EXPECT_TRUE(only64.logs.empty());
  only64.node64Exists = false;
  EXPECT_EQ(InstallServiceFromClient(only64), -1);
  EXPECT_EQ(only64.logs, Logs({t::kRegistryOpenFailed}));
}

// ---------------------------------------------------------------- fallback

class Fallback : public ::testing::Test {
 protected:
  fake::Platform m;
  void ShortcutClient() {
    m.values.emplace_back("zav", "C:\\zav");
    m.paths.insert("C:\\zav\\bin\\makeshortcut.bat");
  }
};

TEST_F(Fallback, NoNodeStillLeavesTheMarkerAndDoesNotWait) {
  m.nodeExists = false;
  RunFallback(m, true);
  const std::string marker = "C:\\Users\\ann\\hasTryInstallZAVServiceByMakeshortcut";
  EXPECT_EQ(m.createdFiles, Logs({marker}));
  EXPECT_EQ(m.out, marker + "\n");
  EXPECT_EQ(m.logs, Logs({t::kRegistryOpenFailed, t::kShortcutFailed}));
  EXPECT_FALSE(m.Saw("sleep:2000"));
  EXPECT_FALSE(m.Saw("port:11999"));
  EXPECT_TRUE(m.boxes.empty());
  EXPECT_LT(m.IndexOf("create:" + marker), m.IndexOf("open"));
}

TEST_F(Fallback, ServiceUpAfterTheWait) {
  ShortcutClient();
  m.effects["C:\\zav\\bin\\startzavservice.bat"] = {kServicePort};
  RunFallback(m, true);
  Logs tail(m.logs.end() - 2, m.logs.end());
  EXPECT_EQ(tail, Logs({t::kShortcutSucceeded, t::kServiceStarted}));
  int wait = m.IndexOf("sleep:2000");
  ASSERT_GE(wait, 0);
  EXPECT_EQ(m.events[wait + 1], "port:11999");
  ASSERT_EQ(m.boxes.size(), 1u);
  EXPECT_EQ(m.boxes[0],
            std::make_pair(std::string(t::kInstallSucceededBox), std::string(t::kCaptionInstall)));

  fake::Platform quiet;
  quiet.values = m.values;
  quiet.paths = m.paths;
  quiet.effects = m.effects;
  RunFallback(quiet, false);
  EXPECT_EQ(quiet.logs.back(), t::kServiceStarted);
  EXPECT_TRUE(quiet.boxes.empty());
}

TEST_F(Fallback, ServiceStillDownAfterTheWait) {
  ShortcutClient();
  RunFallback(m, true);
  Logs tail(m.logs.end() - 2, m.logs.end());
  EXPECT_EQ(tail, Logs({t::kShortcutSucceeded, t::kServiceNotStarted}));
  EXPECT_TRUE(m.boxes.empty());
}

TEST_F(Fallback, MissingStartScriptIsAFailedShortcutPass) {
  ShortcutClient();
  m.shellFails.insert("C:\\zav\\bin\\startzavservice.bat");
  RunFallback(m, true);
  Logs tail(m.logs.end() - 2, m.logs.end());
  EXPECT_EQ(tail, Logs({Cat({t::kShellFailed, "C:\\zav\\bin\\startzavservice.bat"}), t::kShortcutFailed}));
  EXPECT_FALSE(m.Saw("sleep:2000"));
}

TEST_F(Fallback, WithoutAUsableProfileNoMarkerIsWritten) {
  for (auto profile : {std::optional<std::string>(), std::optional<std::string>("")}) {
    fake::Platform p;
    p.userProfile = profile;
    p.values.emplace_back("zav", "C:\\zav");
    p.paths.insert("C:\\zav\\bin\\makeshortcut.bat");
    p.effects["C:\\zav\\bin\\startzavservice.bat"] = {kServicePort};
    RunFallback(p, false);
    EXPECT_TRUE(p.createdFiles.empty());
    EXPECT_EQ(p.logs.front(), t::kNoUserProfile);
    EXPECT_EQ(p.logs.back(), t::kServiceStarted);  // the branch goes on
  }
  fake::Platform p;
  p.userProfile = "C:\\" + std::string(480, 'u');
  RunFallback(p, false);
  EXPECT_TRUE(p.createdFiles.empty());
  EXPECT_EQ(p.logs.front().rfind(t::kMarkerPathTooLong, 0), 0u);
}

// ---------------------------------------------------------------- main flow

class MainFlow : public ::testing::Test {
 protected:
  fake::Platform m;
  const std::string marker = "C:\\Users\\ann\\hasTryInstallZAVServiceByMakeshortcut";
  void InstallableClient() {
    m.values.emplace_back("zav", "D:\\apps\\client");
    m.paths.insert("D:\\apps\\client");
    m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  }
};

TEST_F(MainFlow, ServiceAlreadyRunning) {
  m.takenPorts.insert(kServicePort);
  InstallableClient();
  EXPECT_EQ(RunInstaller(m, "i.exe -showMsg"), 0);
  EXPECT_EQ(m.events,
            Logs({"prepare", std::string("log:") + t::kGreeting, "port:11999",
                  std::string("log:") + t::kPortTaken, std::string("box:") + t::kAlreadyRunningBox}));
  EXPECT_EQ(m.boxes[0].second, t::kCaptionInstall);
  EXPECT_EQ(m.out, Cat({t::kGreetingOut, t::kPortTakenOut}));
  EXPECT_EQ(m.enumerations, 0);

  fake::Platform quiet;
  quiet.takenPorts.insert(kServicePort);
  EXPECT_EQ(RunInstaller(quiet, "i.exe"), 0);
  EXPECT_TRUE(quiet.boxes.empty());
  EXPECT_FALSE(quiet.Saw("open"));
}

TEST_F(MainFlow, InstallThatTakesTheCheckedPort) {
  InstallableClient();
  m.effects["net start zavservice"] = {kServicePort, kAfterInstallPort};
  EXPECT_EQ(RunInstaller(m, "i.exe showMsg"), 0);
  EXPECT_EQ(m.logs.front(), t::kGreeting);
  EXPECT_EQ(m.logs[1], t::kPortFreeTryInstall);
  EXPECT_EQ(m.logs.back(), t::kInstalledAndStarted);
  ASSERT_EQ(m.boxes.size(), 1u);
  EXPECT_EQ(m.boxes[0], std::make_pair(std::string(t::kInstallSucceededBox), std::string(t::kCaptionDialog)));
  EXPECT_TRUE(m.createdFiles.empty());
  EXPECT_EQ(m.opens, 1);  // no fallback
  EXPECT_EQ(m.out, Cat({t::kGreetingOut, t::kPortFreeOut, "zav\n", t::kPortTakenOut}));
}

TEST_F(MainFlow, ServiceOnItsPortButNotOnTheCheckedOneStillFallsBack) {
  InstallableClient();
  m.effects["net start zavservice"] = {kServicePort};
  EXPECT_EQ(RunInstaller(m, "i.exe -showMsg"), 0);
  int checked = m.IndexOf("port:11997");
  ASSERT_GE(checked, 0);
  EXPECT_EQ(m.events[checked + 1], std::string("log:") + t::kInstallFailedTryShortcut);
  EXPECT_EQ(m.createdFiles, Logs({marker}));
  // No shortcut script in this client: the fallback fails and shows nothing.
  EXPECT_EQ(m.logs.back(), t::kShortcutFailed);
  EXPECT_TRUE(m.boxes.empty());
  EXPECT_EQ(m.out, Cat({t::kGreetingOut, t::kPortFreeOut, "zav\n", t::kPortFreeOut, marker, "\n", "zav\n"}));
}

TEST_F(MainFlow, FallbackClosingTestSeesTheServiceFromTheInstallPass) {
  InstallableClient();
  m.paths.insert("D:\\apps\\client\\bin\\makeshortcut.bat");
  m.effects["net start zavservice"] = {kServicePort};
  EXPECT_EQ(RunInstaller(m, "i.exe -showMsg"), 0);
  EXPECT_EQ(m.logs.back(), t::kServiceStarted);
  ASSERT_EQ(m.boxes.size(), 1u);
  EXPECT_EQ(m.boxes[0].second, t::kCaptionInstall);
}

TEST_F(MainFlow, NothingWorksAndNothingIsShown) {
  m.nodeExists = false;
  EXPECT_EQ(RunInstaller(m, "i.exe -showMsg"), 0);
  EXPECT_EQ(m.logs, Logs({t::kGreeting, t::kPortFreeTryInstall, t::kRegistryOpenFailed,
                          t::kInstallFailedTryShortcut, t::kRegistryOpenFailed, t::kShortcutFailed}));
  EXPECT_TRUE(m.boxes.empty());
  EXPECT_EQ(m.createdFiles, Logs({marker}));
}

TEST_F(MainFlow, WithoutShowMsgNoBoxOnAnyGoodOutcome) {
  for (int outcome = 0; outcome < 3; ++outcome) {
    fake::Platform p;
    p.values.emplace_back("zav", "D:\\apps\\client");
    p.paths = {"D:\\apps\\client", "D:\\apps\\client\\bin\\zavservice.exe",
               "D:\\apps\\client\\bin\\makeshortcut.bat"};
    if (outcome == 0) p.takenPorts.insert(kServicePort);
    if (outcome == 1) p.effects["net start zavservice"] = {kServicePort, kAfterInstallPort};
    if (outcome == 2) p.effects["D:\\apps\\client\\bin\\startzavservice.bat"] = {kServicePort};
    EXPECT_EQ(RunInstaller(p, "i.exe -ShowMsg /showMsg"), 0);
    EXPECT_TRUE(p.boxes.empty()) << outcome;
    EXPECT_EQ(p.prepared, 1);
  }
}

}  // namespace
