// The installer's decisions over a model machine: every branch of the main flow,
// the install pass and the fallback in one file, grouped by section.
#include "installer/installer_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "installer/tests/fake_platform.h"
#include "installer/port_probe.h"
#include "installer/texts.h"

namespace {

using namespace zavinstaller;
namespace t = zavinstaller::text;
using Logs = std::vector<std::string>;

std::string Cat(std::initializer_list<std::string> parts) {
  std::string s;
  for (const auto& p : parts) s += p;
  return s;
}

// ---------------------------------------------------------------- command line

bool Scan(const char* line) { return ScanShowMsg(line, fake::DbcsNext); }

TEST(CommandLineScan, ShowMsgAfterHyphenOrBlankIsFound) {
  EXPECT_TRUE(Scan("C:\\zav\\zavserviceInstaller2.exe -showMsg"));
  EXPECT_TRUE(Scan("C:\\zav\\zavserviceInstaller2.exe showMsg"));
  EXPECT_TRUE(Scan("\"C:\\Program Files\\zav\\i.exe\" showMsg"));
  EXPECT_TRUE(Scan("i.exe showMsgX"));   // what follows the word does not matter
  EXPECT_TRUE(Scan("i.exe --showMsg"));  // a second hyphen is looked at as well
  EXPECT_TRUE(Scan("i.exe -a  -b showMsg"));
  EXPECT_TRUE(Scan("-showMsg"));  // the very first character counts too
}

TEST(CommandLineScan, OtherSpellingsAndPlacesAreNotTheWord) {
  EXPECT_FALSE(Scan("i.exe ShowMsg"));
  EXPECT_FALSE(Scan("i.exe /showMsg"));
  EXPECT_FALSE(Scan("i.exe showmsg"));
  EXPECT_FALSE(Scan("i.exe -showMs"));
  EXPECT_FALSE(Scan("i.exe xshowMsg"));
  EXPECT_FALSE(Scan("i.exe -"));
  EXPECT_FALSE(Scan("i.exe"));
  EXPECT_FALSE(Scan(""));
  EXPECT_FALSE(Scan(nullptr));
  EXPECT_FALSE(Scan("C:\\tools\\zav-installer\\i.exe"));
}

TEST(CommandLineScan, HyphenInsideTheProgramPathCounts) {
  EXPECT_TRUE(Scan("C:\\apps\\zav-showMsg\\zavserviceInstaller2.exe"));
}

TEST(CommandLineScan, StepsOverDoubleByteCharactersWhole) {
  // 测试 before the word: ordinary double-byte characters do not disturb the scan.
  EXPECT_TRUE(Scan("C:\\\xb2\xe2\xca\xd4\\i.exe -showMsg"));
  // A hyphen or blank byte that is the second half of a double-byte character is no
  // hyphen or blank.
  EXPECT_FALSE(Scan("i.exe\x81-showMsg"));
  EXPECT_FALSE(Scan("i.exe\x81 showMsg"));
  EXPECT_TRUE(ScanShowMsg("i.exe\x81-showMsg", &fake::ByteNext));
  // A lead byte at the very end is not stepped past the terminator.
  EXPECT_FALSE(Scan("i.exe\x81"));
  EXPECT_FALSE(Scan("i.exe -\x81"));
}

// ---------------------------------------------------------------- paths

struct PathCase {
  const char* data;
  const char* dir;
  const char* root;  // nullptr: no client root
};

TEST(ClientPaths, DirectoryRootAndCandidates) {
  const PathCase cases[] = {
      {"D:/apps/client", "D:\\apps\\client", "D:\\apps"},
      {"D:\\apps\\client", "D:\\apps\\client", "D:\\apps"},
      {"D:\\apps\\client\\\\", "D:\\apps\\client\\\\", "D:\\apps"},
      {"D:/apps/client/", "D:\\apps\\client\\", "D:\\apps"},
      {"C:\\client", "C:\\client", "C:"},
      {"client", "client", nullptr},
      {"C:\\", "C:\\", nullptr},
      {"\\\\\\", "\\\\\\", nullptr},
      {"", "", nullptr},
      // 0x81 0x5C is one double-byte character whose second byte looks like a backslash.
      {"C:\\a\x81\\b", "C:\\a\x81\\b", "C:"},
      {"C:/a\x81/b/c", "C:\\a\x81/b\\c", "C:\\a\x81/b"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.data);
    Buffer dir, root;
    ClientDirectoryFromData(c.data, dir, fake::DbcsNext);
    EXPECT_EQ(std::string(dir), c.dir);
    bool hasRoot = ClientRootOf(dir, root, fake::DbcsNext);
    EXPECT_EQ(hasRoot, c.root != nullptr);
    if (hasRoot && c.root) {
      EXPECT_EQ(std::string(root), c.root);
    }
  }
}

TEST(ClientPaths, CandidatesInTheirOrder) {
  Candidates c;
  BuildCandidates("D:\\apps\\client\\", c, fake::DbcsNext);
  EXPECT_EQ(std::string(c.paths[0]), "D:\\apps\\clientjdk\\jre\\bin\\zavservice.exe");
  EXPECT_EQ(std::string(c.paths[1]), "D:\\apps\\clientjdk\\bin\\zavservice.exe");
  EXPECT_EQ(std::string(c.paths[2]), "D:\\apps\\client\\\\bin\\zavservice.exe");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(c.present[i] && c.fits[i]) << i;

  BuildCandidates("client", c, fake::DbcsNext);
  EXPECT_FALSE(c.present[0]);
  EXPECT_FALSE(c.present[1]);
  EXPECT_TRUE(c.present[2]);
  EXPECT_EQ(std::string(c.paths[2]), "client\\bin\\zavservice.exe");
}

// ---------------------------------------------------------------- install pass

class InstallPass : public ::testing::Test {
 protected:
  fake::Platform m;

  // A client under `root` with its directory present.
  void Client(const std::string& name, const std::string& data, const std::string& dir) {
    m.values.emplace_back(name, data);
    m.paths.insert(dir);
  }
};

TEST_F(InstallPass, NodeThatCannotBeOpened) {
  m.nodeExists = false;
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNoNode);
  EXPECT_EQ(m.logs, Logs({t::kRegistryOpenFailed}));
  EXPECT_EQ(m.closes, 0);
  EXPECT_TRUE(m.runs.empty());
}

TEST_F(InstallPass, EmptyNodeWritesNothing) {
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNotStarted);
  EXPECT_TRUE(m.logs.empty());
  EXPECT_EQ(m.out, "");
  EXPECT_EQ(m.opens, 1);
  EXPECT_EQ(m.closes, 1);
}

TEST_F(InstallPass, DirectInstallWithoutScript) {
  Client("zav1", "D:/apps/client", "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.effects["net start zavservice"] = {kServicePort};
  m.exitCodes["net start zavservice"] = 2;  // what it gives for a disabled service
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kServiceRuns);

  const std::string program = "D:\\apps\\client\\bin\\zavservice.exe";
  const std::string script = "D:\\apps\\client\\bin\\zavserviceinstall.bat  ";
  const std::string command = "\"" + program + "\" /Service";
  EXPECT_EQ(m.logs, Logs({
                        "zav1",
                        Cat({t::kFileMissing, "D:\\apps\\clientjdk\\jre\\bin\\zavservice.exe"}),
                        Cat({t::kFileMissing, "D:\\apps\\clientjdk\\bin\\zavservice.exe"}),
                        Cat({t::kInstallFromClientOpen, program, t::kInstallFromClientClose}),
                        Cat({t::kScriptMissingOpen, script, t::kScriptMissingClose, program}),
                        Cat({t::kRunSucceeded, command}),
                        Cat({t::kExitCode, "0"}),
                        Cat({t::kRunSucceeded, "net start zavservice"}),
                        Cat({t::kExitCode, "2"}),
                    }));
  EXPECT_EQ(m.runs, Logs({command, "net start zavservice"}));
  // net is the system's, never one found along the search path.
  EXPECT_EQ(m.programs, Logs({program, "C:\\Windows\\system32\\net.exe"}));
  EXPECT_TRUE(m.shellOpens.empty());
  EXPECT_EQ(m.out, "zav1\n");
  EXPECT_EQ(m.closes, 1);
  // The install script is asked for under its name with the two blanks.
  EXPECT_NE(std::find(m.existsAsked.begin(), m.existsAsked.end(), script), m.existsAsked.end());
}

TEST_F(InstallPass, ProgramPathWithBlankIsQuotedOnTheCommandLine) {
  Client("zav", "C:\\Program Files\\zav\\client", "C:\\Program Files\\zav\\client");
  m.paths.insert("C:\\Program Files\\zav\\clientjdk\\jre\\bin\\zavservice.exe");
  InstallServiceFromClient(m);
  ASSERT_FALSE(m.runs.empty());
  EXPECT_EQ(m.runs[0], "\"C:\\Program Files\\zav\\clientjdk\\jre\\bin\\zavservice.exe\" /Service");
}

TEST_F(InstallPass, CandidateOrder) {
  struct Case {
    std::vector<int> present;
    int chosen;
  } cases[] = {{{0, 1, 2}, 0}, {{0, 2}, 0}, {{1, 2}, 1}, {{2}, 2}, {{1}, 1}};
  const std::string candidates[] = {"D:\\apps\\clientjdk\\jre\\bin\\zavservice.exe",
                                    "D:\\apps\\clientjdk\\bin\\zavservice.exe",
                                    "D:\\apps\\client\\bin\\zavservice.exe"};
  for (const Case& c : cases) {
    fake::Platform p;
    p.values.emplace_back("zav", "D:\\apps\\client");
    p.paths.insert("D:\\apps\\client");
    for (int i : c.present) p.paths.insert(candidates[i]);
    InstallServiceFromClient(p);
    ASSERT_FALSE(p.runs.empty());
    EXPECT_EQ(p.runs[0], "\"" + candidates[c.chosen] + "\" /Service");
    // Every candidate before the chosen one is recorded as missing, none after it.
    for (int i = 0; i < 3; ++i) {
      bool recorded =
          std::find(p.logs.begin(), p.logs.end(), Cat({t::kFileMissing, candidates[i]})) != p.logs.end();
      EXPECT_EQ(recorded, i < c.chosen) << "candidate " << i << " chosen " << c.chosen;
    }
  }
}

TEST_F(InstallPass, NoClientRootStillTriesTheDirectoryItself) {
  Client("zav", "client", "client");
  m.paths.insert("client\\bin\\zavservice.exe");
  InstallServiceFromClient(m);
  EXPECT_EQ(m.runs, Logs({"\"client\\bin\\zavservice.exe\" /Service", "net start zavservice"}));
  for (const std::string& l : m.logs) EXPECT_EQ(l.find("clientjdk"), std::string::npos) << l;
}

TEST_F(InstallPass, InstallScriptThatBringsTheServiceUpEndsThePass) {
  Client("zav", "D:\\apps\\client", "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.paths.insert("D:\\apps\\client\\bin\\zavserviceinstall.bat");
  m.effects["D:\\apps\\client\\bin\\zavserviceinstall.bat  "] = {kServicePort};
  m.values.emplace_back("other", "E:\\zav");
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kServiceRuns);
  ASSERT_EQ(m.shellOpens.size(), 1u);
  EXPECT_EQ(m.shellOpens[0].first, "D:\\apps\\client\\bin\\zavserviceinstall.bat  ");
  // The script gets the program path as it is, without quotes.
  EXPECT_EQ(m.shellOpens[0].second, "D:\\apps\\client\\bin\\zavservice.exe");
  EXPECT_TRUE(m.runs.empty());
  EXPECT_EQ(m.out, "zav\n");  // the second value is never looked at
  EXPECT_EQ(m.closes, 1);
}

TEST_F(InstallPass, InstallScriptWithoutEffectIsFollowedByTheDirectInstall) {
  Client("zav", "D:\\apps\\client", "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.paths.insert("D:\\apps\\client\\bin\\zavserviceinstall.bat");
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNotStarted);
  int shell = m.IndexOf(
      "shell:D:\\apps\\client\\bin\\zavserviceinstall.bat  |"
      "D:\\apps\\client\\bin\\zavservice.exe");
  int portAfterShell = shell + 1;
  ASSERT_GE(shell, 0);
  EXPECT_EQ(m.events[portAfterShell], "port:11999");
  EXPECT_GT(m.IndexOf("run:\"D:\\apps\\client\\bin\\zavservice.exe\" /Service"), portAfterShell);
  EXPECT_EQ(m.runs.size(), 2u);
  for (const std::string& l : m.logs) EXPECT_NE(l.find(t::kScriptMissingClose), 0u);
}

TEST_F(InstallPass, ShellFailureOnTheScriptIsLoggedAndTheDirectInstallRuns) {
  Client("zav", "D:\\apps\\client", "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.paths.insert("D:\\apps\\client\\bin\\zavserviceinstall.bat");
  m.shellFails.insert("D:\\apps\\client\\bin\\zavserviceinstall.bat  ");
  m.effects["\"D:\\apps\\client\\bin\\zavservice.exe\" /Service"] = {kServicePort};
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kServiceRuns);
  EXPECT_NE(std::find(m.logs.begin(), m.logs.end(),
                      Cat({t::kStartFailed, "D:\\apps\\client\\bin\\zavservice.exe"})),
            m.logs.end());
  // No port test between the failed shell call and the direct install.
  int shell = m.IndexOf(
      "shell:D:\\apps\\client\\bin\\zavserviceinstall.bat  |"
      "D:\\apps\\client\\bin\\zavservice.exe");
  EXPECT_EQ(m.events[shell + 2], "run:\"D:\\apps\\client\\bin\\zavservice.exe\" /Service");
  EXPECT_EQ(m.runs.size(), 2u);
}

TEST_F(InstallPass, CommandThatCannotStartIsLoggedAndThePassGoesOn) {
  Client("zav", "D:\\apps\\client", "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.notCreatable.insert("\"D:\\apps\\client\\bin\\zavservice.exe\" /Service");
  m.notCreatable.insert("net start zavservice");
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNotStarted);
  Logs tail(m.logs.end() - 2, m.logs.end());
  EXPECT_EQ(tail, Logs({Cat({t::kRunFailed, "\"D:\\apps\\client\\bin\\zavservice.exe\" /Service"}),
                        Cat({t::kRunFailed, "net start zavservice"})}));
}

// A name longer than 255 bytes (a Java preferences key of a few dozen non-ASCII
// characters), unreadable data, empty text and data of another type (a DWORD 0x3a43
// reads "C:") name no directory; a missing directory, a client without a service
// program.
TEST_F(InstallPass, BadValuesAreSkippedAndTheNextOneIsTried) {
  const std::string longName(300, 'n');
  m.values.emplace_back(longName, "D:\\apps\\client");
  m.paths.insert("D:\\apps\\client\\bin\\zavservice.exe");
  m.values.emplace_back("unreadable", std::nullopt);
  m.values.emplace_back("empty", "");
  m.values.emplace_back("dword", "C:", prefs::DataType::kOther);
  m.paths.insert("C:");
  m.paths.insert("");
  m.values.emplace_back("nowhere", "X:\\gone");
  Client("noservice", "D:\\empty\\client", "D:\\empty\\client");
  Client("good", "E:/zav/client", "E:\\zav\\client");
  m.paths.insert("E:\\zav\\clientjdk\\bin\\zavservice.exe");
  m.effects["net start zavservice"] = {kServicePort};
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kServiceRuns);
  const std::string cutName = longName.substr(0, 255);
  EXPECT_EQ(m.out, cutName + "\nunreadable\nempty\ndword\nnowhere\nnoservice\ngood\n");
  Logs head(m.logs.begin(), m.logs.begin() + 14);
  EXPECT_EQ(head,
            Logs({cutName, Cat({t::kNoRegistryEntry, cutName}), "unreadable",
                  Cat({t::kNoRegistryEntry, "unreadable"}), "empty", Cat({t::kNoRegistryEntry, "empty"}),
                  "dword", Cat({t::kNoRegistryEntry, "dword"}), "nowhere", Cat({t::kFileMissing, "X:\\gone"}),
                  "noservice", Cat({t::kFileMissing, "D:\\empty\\clientjdk\\jre\\bin\\zavservice.exe"}),
                  Cat({t::kFileMissing, "D:\\empty\\clientjdk\\bin\\zavservice.exe"}),
                  Cat({t::kFileMissing, "D:\\empty\\client\\bin\\zavservice.exe"})}));
  EXPECT_EQ(m.runs, Logs({"\"E:\\zav\\clientjdk\\bin\\zavservice.exe\" /Service", "net start zavservice"}));
}

TEST_F(InstallPass, EveryClientTriedWhenTheServiceNeverComesUp) {
  Client("a", "C:\\a\\client", "C:\\a\\client");
  m.paths.insert("C:\\a\\client\\bin\\zavservice.exe");
  Client("b", "C:\\b\\client", "C:\\b\\client");
  m.paths.insert("C:\\b\\client\\bin\\zavservice.exe");
  // A name whose 32-bit data was tried is not tried again in the 64-bit view.
  m.node64Exists = true;
  m.values64 = {{"A", std::string("C:\\b\\client")}};
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNotStarted);
  EXPECT_EQ(m.out, "a\nb\n");
  EXPECT_EQ(m.runs.size(), 4u);
  EXPECT_EQ(m.closes, 2);
  EXPECT_FALSE(m.nodeOpen);
}

TEST_F(InstallPass, OverlongDirectoryIsNeverCutIntoAnotherPath) {
  // Everything "exists" under this directory, but no candidate path fits its buffer.
  std::string dir = "C:\\" + std::string(474, 'p') + "\\client";
  Client("long", dir, dir);
  std::string root = dir.substr(0, dir.size() - 7);
  for (const char* s : {"\\clientjdk\\jre\\bin\\zavservice.exe", "\\clientjdk\\bin\\zavservice.exe"}) {
    m.paths.insert(root + s);
    m.paths.insert((root + s).substr(0, 499));
  }
  m.paths.insert((dir + "\\bin\\zavservice.exe").substr(0, 499));
  EXPECT_EQ(InstallServiceFromClient(m), zavinstaller::InstallPass::kNotStarted);
  EXPECT_TRUE(m.runs.empty());
  EXPECT_TRUE(m.shellOpens.empty());
  EXPECT_EQ(m.logs.size(), 4u);  // the name and three missing candidates
  for (std::size_t i = 1; i < m.logs.size(); ++i) EXPECT_EQ(m.logs[i].find(t::kFileMissing), 0u);
}

TEST_F(InstallPass, CommandLineThatWouldNotFitIsNotStarted) {
  // The program path fits, the quoted command line with " /Service" does not.
  std::string dir = "C:\\" + std::string(472, 'q');
  Client("long", dir, dir);
  std::string program = dir + "\\bin\\zavservice.exe";
  ASSERT_LT(program.size(), 500u);
  m.paths.insert(program);
  InstallServiceFromClient(m);
  EXPECT_EQ(m.runs, Logs({"net start zavservice"}));
  bool loggedFailure = false;
  for (const std::string& l : m.logs) loggedFailure |= l.rfind(t::kRunFailed, 0) == 0;
  EXPECT_TRUE(loggedFailure);
}

// ---------------------------------------------------------------- shortcut pass

class ShortcutPass : public ::testing::Test {
 protected:
  fake::Platform m;
};

TEST_F(ShortcutPass, NodeThatCannotBeOpened) {
  m.nodeExists = false;
  EXPECT_EQ(InstallStartupShortcut(m), zavinstaller::ShortcutPass::kNoNode);
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
  EXPECT_EQ(InstallStartupShortcut(m), zavinstaller::ShortcutPass::kScriptsOpened);
  EXPECT_EQ(m.logs, Logs({"unreadable", Cat({t::kNoRegistryEntry, "unreadable"}), "old",
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
    EXPECT_EQ(InstallStartupShortcut(p), zavinstaller::ShortcutPass::kNotOpened);
    EXPECT_EQ(p.logs.back(), Cat({t::kStartFailed, "C:\\a\\bin\\makeshortcut.bat"}));
    EXPECT_EQ(p.shellOpens.size(), 1u);  // "b" is not tried
    EXPECT_EQ(p.closes, 1);
  }
  {
    fake::Platform p;
    p.values = {{"a", std::string("C:\\a")}};
    p.paths = {"C:\\a\\bin\\makeshortcut.bat"};
    p.shellFails.insert("C:\\a\\bin\\startzavservice.bat");
    EXPECT_EQ(InstallStartupShortcut(p), zavinstaller::ShortcutPass::kNotOpened);
    EXPECT_EQ(p.logs.back(), Cat({t::kStartFailed, "C:\\a\\bin\\startzavservice.bat"}));
    EXPECT_EQ(p.closes, 1);
  }
}

// Both walks: the 32-bit view of the node first, then the 64-bit one, names compared
// without case; a name whose 32-bit value cannot be read or names no usable
// installation (a stale value) is tried again in the 64-bit view. The node that cannot
// be opened is logged only when neither view has it.
TEST_F(ShortcutPass, BothRegistryViewsAreWalkedAStaleValueHidingNothing) {
  m.values = {{"both", std::nullopt}, {"old", std::string("C:\\old")}};
  m.node64Exists = true;
  m.values64 = {{"both", std::string("E:\\x")}, {"OLD", std::string("D:\\new")}};
  m.paths = {"D:\\new\\bin\\makeshortcut.bat"};
  EXPECT_EQ(InstallStartupShortcut(m), zavinstaller::ShortcutPass::kScriptsOpened);
  EXPECT_EQ(m.logs, Logs({"both", Cat({t::kNoRegistryEntry, "both"}), "old",
                          Cat({t::kFileMissing, "C:\\old\\bin\\makeshortcut.bat"}), "both",
                          Cat({t::kFileMissing, "E:\\x\\bin\\makeshortcut.bat"}), "OLD"}));
  EXPECT_EQ(m.shellOpens[0].first, "D:\\new\\bin\\makeshortcut.bat");
  EXPECT_EQ(m.out, "both\nold\nboth\nOLD\n");
  EXPECT_EQ(m.opens, 2);
  EXPECT_EQ(m.closes, 2);

  fake::Platform only64;
  only64.nodeExists = false;
  only64.node64Exists = true;
  EXPECT_EQ(InstallServiceFromClient(only64), zavinstaller::InstallPass::kNotStarted);
  EXPECT_TRUE(only64.logs.empty());
  only64.node64Exists = false;
  EXPECT_EQ(InstallServiceFromClient(only64), zavinstaller::InstallPass::kNoNode);
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
  EXPECT_EQ(tail, Logs({Cat({t::kStartFailed, "C:\\zav\\bin\\startzavservice.bat"}), t::kShortcutFailed}));
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
  EXPECT_EQ(m.out, Cat({t::kGreeting, "\n", t::kPortTaken, "\n"}));
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
  EXPECT_EQ(m.out, Cat({t::kGreeting, "\n", t::kPortFree, "\n", "zav\n", t::kPortTaken, "\n"}));
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
  EXPECT_EQ(m.out, Cat({t::kGreeting, "\n", t::kPortFree, "\n", "zav\n", t::kPortFree, "\n", marker, "\n",
                        "zav\n"}));
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

// ---------------------------------------------------------------- port probe

// The probe's two binds as Windows answers them: a plain bind to all addresses
// succeeds while another socket holds the port on 127.0.0.1 alone.
TEST(PortProbe, APortHeldOnLoopbackOnlyIsTaken) {
  static std::uint32_t held;
  auto bind = [](std::uint32_t address, std::uint16_t port) { return port == 11999 && address != held; };
  for (std::uint32_t address : {kAnyAddress, kLoopbackAddress, 0x0a000001u}) {
    held = address;
    EXPECT_EQ(IsPortFree(11999, bind), address == 0x0a000001u) << std::hex << address;
  }
}
