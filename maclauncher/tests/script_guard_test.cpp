#include "maclauncher/script_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#ifdef __APPLE__
#include <sys/xattr.h>
#endif

namespace maclauncher {
namespace {

// A client installation in a fresh temporary directory:
// <root>/client/bin/clientStartup.sh, directories 0755, script 0644.
class MaclauncherScriptGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/maclauncher-guard.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    client_ = root_ + "/client";
    bin_ = client_ + "/bin";
    script_ = bin_ + "/clientStartup.sh";
    MakeDirectory(client_);
    MakeDirectory(bin_);
    WriteScript(script_);
  }

  void TearDown() override {
    const std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  static void MakeDirectory(const std::string& path) {
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    ASSERT_EQ(chmod(path.c_str(), 0755), 0) << path;
  }

  static void WriteScript(const std::string& path) {
    std::ofstream(path) << "exit 0\n";
    ASSERT_EQ(chmod(path.c_str(), 0644), 0) << path;
  }

  static ScriptVerdict Check(const std::string& dir) {
    return CheckStartScript(dir, [](int) { return false; });
  }

  std::string root_, client_, bin_, script_;
};

TEST_F(MaclauncherScriptGuardTest, InstalledScriptIsAllowed) {
  EXPECT_EQ(Check(client_), ScriptVerdict::kAllowed);
  EXPECT_EQ(Check(client_ + "/"), ScriptVerdict::kAllowed);
  EXPECT_EQ(Check(root_ + "/./client"), ScriptVerdict::kAllowed);
  // Executable by everyone and owner-writable is how installers leave it.
  ASSERT_EQ(chmod(script_.c_str(), 0755), 0);
  EXPECT_EQ(Check(client_), ScriptVerdict::kAllowed);
  EXPECT_EQ(zav_start_script_path_allowed(script_.c_str()), 1);
}

// The handler hands over the path it composed; only that shape of path is looked at.
TEST_F(MaclauncherScriptGuardTest, ScriptPathMustBeAnAbsoluteClientDirectoryAndTheScriptName) {
  auto check = [](const std::string& path) { return CheckStartScriptPath(path, [](int) { return false; }); };
  EXPECT_EQ(check(script_), ScriptVerdict::kAllowed);
  EXPECT_EQ(check("/bin/clientStartup.sh"), ScriptVerdict::kNotAbsolute);  // empty directory
  EXPECT_EQ(check("client/bin/clientStartup.sh"), ScriptVerdict::kNotAbsolute);
  EXPECT_EQ(check(bin_ + "/other.sh"), ScriptVerdict::kNotAbsolute);
  EXPECT_EQ(check(root_ + "/x/../client/bin/clientStartup.sh"), ScriptVerdict::kParentComponent);
  const std::string withNul = client_ + std::string("\0x/bin/clientStartup.sh", 23);
  EXPECT_EQ(check(withNul), ScriptVerdict::kNulInPath);
}

// Another local user's script, bin or client directory: they could change it at
// any time, whatever its modes say.
TEST_F(MaclauncherScriptGuardTest, ForeignOwnedScriptOrDirectoryIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  for (const std::string& path : {script_, bin_, client_}) {
    ASSERT_EQ(chown(path.c_str(), 4242, static_cast<gid_t>(-1)), 0) << path;
    EXPECT_EQ(Check(client_), ScriptVerdict::kForeignOwner) << path;
    ASSERT_EQ(chown(path.c_str(), 0, static_cast<gid_t>(-1)), 0) << path;
  }
  EXPECT_EQ(Check(client_), ScriptVerdict::kAllowed);
}

TEST_F(MaclauncherScriptGuardTest, RelativeOrEmptyDirectoryIsRefused) {
  ASSERT_EQ(chdir(root_.c_str()), 0);
  EXPECT_EQ(Check("client"), ScriptVerdict::kNotAbsolute);
  EXPECT_EQ(Check("./client"), ScriptVerdict::kNotAbsolute);
  EXPECT_EQ(Check(""), ScriptVerdict::kNotAbsolute);
  EXPECT_EQ(zav_start_script_path_allowed("client/bin/clientStartup.sh"), 0);
  EXPECT_EQ(zav_start_script_path_allowed(nullptr), 0);
  ASSERT_EQ(chdir("/"), 0);
}

TEST_F(MaclauncherScriptGuardTest, ParentComponentIsRefusedEvenWhenItLeadsToAnInstallation) {
  MakeDirectory(root_ + "/other");
  EXPECT_EQ(Check(root_ + "/other/../client"), ScriptVerdict::kParentComponent);
  EXPECT_EQ(Check(client_ + "/.."), ScriptVerdict::kParentComponent);
  EXPECT_EQ(Check("/.." + client_), ScriptVerdict::kParentComponent);
  // Names that only contain dots are names.
  MakeDirectory(root_ + "/...");
  MakeDirectory(root_ + "/.../bin");
  WriteScript(root_ + "/.../bin/clientStartup.sh");
  EXPECT_EQ(Check(root_ + "/..."), ScriptVerdict::kAllowed);
  MakeDirectory(root_ + "/..x");
  MakeDirectory(root_ + "/..x/bin");
  WriteScript(root_ + "/..x/bin/clientStartup.sh");
  EXPECT_EQ(Check(root_ + "/..x"), ScriptVerdict::kAllowed);
}

TEST_F(MaclauncherScriptGuardTest, ScriptThatIsNoRegularFileIsRefused) {
  EXPECT_EQ(Check(root_ + "/missing"), ScriptVerdict::kMissing);
  // Cut at the NUL, the name would be that of the script itself.
  EXPECT_EQ(Check(script_ + std::string("\0", 1)), ScriptVerdict::kNulInPath);

  // A link to a sound script elsewhere.
  ASSERT_EQ(unlink(script_.c_str()), 0);
  MakeDirectory(root_ + "/real");
  WriteScript(root_ + "/real/clientStartup.sh");
  ASSERT_EQ(symlink((root_ + "/real/clientStartup.sh").c_str(), script_.c_str()), 0);
  EXPECT_EQ(Check(client_), ScriptVerdict::kLinkInInstallation);

  ASSERT_EQ(unlink(script_.c_str()), 0);
  MakeDirectory(script_);
  EXPECT_EQ(Check(client_), ScriptVerdict::kNotRegularFile);

  ASSERT_EQ(rmdir(script_.c_str()), 0);
  ASSERT_EQ(mkfifo(script_.c_str(), 0644), 0);
  EXPECT_EQ(Check(client_), ScriptVerdict::kNotRegularFile);
}

TEST_F(MaclauncherScriptGuardTest, ScriptWritableByGroupOrOthersIsRefused) {
  for (mode_t mode : {0664, 0646, 0666, 0620, 0602}) {
    ASSERT_EQ(chmod(script_.c_str(), mode), 0);
    EXPECT_EQ(Check(client_), ScriptVerdict::kScriptWritableByOthers) << std::oct << mode;
  }
  EXPECT_EQ(zav_start_script_path_allowed(script_.c_str()), 0);
}

TEST_F(MaclauncherScriptGuardTest, DirectoryWritableByGroupOrOthersIsRefused) {
  for (mode_t mode : {0775, 0757, 0777, 01777}) {
    ASSERT_EQ(chmod(bin_.c_str(), mode), 0);
    EXPECT_EQ(Check(client_), ScriptVerdict::kDirectoryWritableByOthers) << std::oct << mode;
  }
  EXPECT_EQ(zav_start_script_path_allowed(script_.c_str()), 0);

  // bin is the installation's own directory, never a link to one elsewhere.
  ASSERT_EQ(chmod(bin_.c_str(), 0755), 0);
  MakeDirectory(root_ + "/shared");
  WriteScript(root_ + "/shared/clientStartup.sh");
  MakeDirectory(root_ + "/linked");
  ASSERT_EQ(symlink((root_ + "/shared").c_str(), (root_ + "/linked/bin").c_str()), 0);
  EXPECT_EQ(Check(root_ + "/linked"), ScriptVerdict::kLinkInInstallation);
}

// Every directory from "/" down counts: a client directory that is a link in a
// folder anyone may write, or a real one there (it can be renamed away and
// replaced), is refused; a sticky folder of root's, as /tmp, is not such a folder.
// The file checked is the file read, whatever is swapped in after the check.
TEST_F(MaclauncherScriptGuardTest, EveryDirectoryOnTheWayCountsAndTheCheckedFileIsTheOneRun) {
  const std::string open = root_ + "/open";
  MakeDirectory(open);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  ASSERT_EQ(symlink(client_.c_str(), (open + "/link").c_str()), 0);
  EXPECT_EQ(Check(open + "/link"), ScriptVerdict::kDirectoryWritableByOthers);
  MakeDirectory(open + "/real");
  MakeDirectory(open + "/real/bin");
  WriteScript(open + "/real/bin/clientStartup.sh");
  EXPECT_EQ(Check(open + "/real"), ScriptVerdict::kDirectoryWritableByOthers);
  if (geteuid() == 0) {  // a sticky folder of root's
    ASSERT_EQ(chmod(open.c_str(), 01777), 0);
    EXPECT_EQ(Check(open + "/real"), ScriptVerdict::kAllowed);
    EXPECT_EQ(Check(open + "/link"), ScriptVerdict::kAllowed);
    ASSERT_EQ(chown(root_.c_str(), 4242, static_cast<gid_t>(-1)), 0);
    EXPECT_EQ(Check(client_), ScriptVerdict::kForeignOwner);
    ASSERT_EQ(chown(root_.c_str(), 0, static_cast<gid_t>(-1)), 0);
  }

  // Through a link of our own: the link re-pointed and the script replaced after
  // the check change nothing of what was opened.
  const std::string via = root_ + "/via";
  ASSERT_EQ(symlink(client_.c_str(), via.c_str()), 0);
  UniqueFd opened;
  ASSERT_EQ(OpenStartScript(via + kScriptPathSuffix, &opened, [](int) { return false; }),
            ScriptVerdict::kAllowed);
  ASSERT_EQ(unlink(via.c_str()), 0);
  ASSERT_EQ(symlink((open + "/real").c_str(), via.c_str()), 0);
  std::ofstream(bin_ + "/evil") << "echo swapped\n";
  ASSERT_EQ(rename((bin_ + "/evil").c_str(), script_.c_str()), 0);
  char text[16] = {};
  EXPECT_EQ(read(opened.get(), text, sizeof text - 1), 7);
  EXPECT_STREQ(text, "exit 0\n");
}

// The script runs as "sh <script> <link>" runs it: "$0" its path, "$1" the link,
// no descriptor of the app's beyond the standard three, no signal blocked or
// ignored that the app blocked or ignored. Read the way macOS and Linux both can:
// /dev/fd as the script's child sees it, and ps for the script's own signals.
TEST_F(MaclauncherScriptGuardTest, RunStartScriptRunsTheScriptAsShRunsAFile) {
  std::ofstream(script_) << "{ printf '%s|%s|%s\\n' \"$0\" \"$#\" \"$1\"; ps -o sigmask=,sigignore= -p $$;"
                            " ls /dev/fd; } >\"$(dirname \"$0\")/ran\"\nexit 3\n";
  // A descriptor of the app's, inheritable, numbered above any the listing opens.
  const int opened = open(script_.c_str(), O_RDONLY);
  ASSERT_GE(opened, 0);
  const int held = fcntl(opened, F_DUPFD, 40);
  close(opened);
  ASSERT_GE(held, 40);
  sigset_t blocked, before;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(sigprocmask(SIG_BLOCK, &blocked, &before), 0);
  auto ignored = signal(SIGUSR2, SIG_IGN);
  const int status = RunStartScript(script_, "nvzav://" + client_ + "#x$y");
  signal(SIGUSR2, ignored);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  close(held);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  std::ifstream ran(bin_ + "/ran");
  std::string line;
  std::getline(ran, line);
  EXPECT_EQ(line, script_ + "|1|nvzav://" + client_ + "#x$y");
  const unsigned long usr1 = 1ul << (SIGUSR1 - 1), usr2 = 1ul << (SIGUSR2 - 1);
  // What the script's own child (grep) inherited. ASan's posix_spawn starts the
  // child with every signal blocked whatever the attributes say, so the mask is
  // held to it in the plain build only.
#ifdef __SANITIZE_ADDRESS__
  const bool maskAsSpawned = false;
#else
  const bool maskAsSpawned = true;
#endif
  // Missing lines fail too: a listing that reads nothing would pass anything.
  std::string mask, ignore;
  ASSERT_TRUE(std::getline(ran, line)) << "no signal line";
  std::istringstream(line) >> mask >> ignore;
  ASSERT_FALSE(ignore.empty()) << line;
  if (maskAsSpawned) {
    EXPECT_EQ(std::stoul(mask, nullptr, 16) & usr1, 0u) << line;
  }
  EXPECT_EQ(std::stoul(ignore, nullptr, 16) & usr2, 0u) << line;
  std::set<std::string> descriptors;
  while (std::getline(ran, line)) descriptors.insert(line);
  for (const char* standard : {"0", "1", "2"}) {
    EXPECT_EQ(descriptors.count(standard), 1u) << "no descriptor listing";
  }
  EXPECT_EQ(descriptors.count(std::to_string(held)), 0u) << "the app's descriptor reached the script";
  ASSERT_EQ(chmod(script_.c_str(), 0666), 0);
  EXPECT_EQ(RunStartScript(script_, "x"), -1);
}

// A ".." in a link's target is followed before the client directory is judged:
// a link to "sub/.." of a folder anyone may write makes that folder the client
// directory, which is refused even where it is sticky and root's.
TEST_F(MaclauncherScriptGuardTest, TheClientDirectoryIsWhereBinReallyLies) {
  if (geteuid() != 0) GTEST_SKIP() << "a sticky folder of root's needs root";
  const std::string open = root_ + "/open";
  MakeDirectory(open);
  ASSERT_EQ(chmod(open.c_str(), 01777), 0);
  MakeDirectory(open + "/sub");
  MakeDirectory(open + "/bin");
  WriteScript(open + "/bin/clientStartup.sh");
  ASSERT_EQ(symlink("open/sub/..", (root_ + "/lnk").c_str()), 0);
  EXPECT_EQ(Check(root_ + "/lnk"), ScriptVerdict::kDirectoryWritableByOthers);
}

// The mark is read from the file opened, not looked up again by its path.
TEST_F(MaclauncherScriptGuardTest, QuarantinedScriptIsRefusedAndTheProbeSeesTheOpenScript) {
  struct stat asked {};
  const auto verdict = CheckStartScript(client_, [&](int fd) { return fstat(fd, &asked) == 0; });
  EXPECT_EQ(verdict, ScriptVerdict::kQuarantined);
  struct stat script {};
  ASSERT_EQ(stat(script_.c_str(), &script), 0);
  EXPECT_EQ(asked.st_ino, script.st_ino);
}

#ifdef __APPLE__
TEST_F(MaclauncherScriptGuardTest, QuarantineAttributeIsRefused) {
  EXPECT_EQ(CheckStartScript(client_), ScriptVerdict::kAllowed);
  const char mark[] = "0081;00000000;Safari;";
  ASSERT_EQ(setxattr(script_.c_str(), "com.apple.quarantine", mark, sizeof mark - 1, 0, 0), 0);
  EXPECT_EQ(CheckStartScript(client_), ScriptVerdict::kQuarantined);
  EXPECT_EQ(zav_start_script_path_allowed(script_.c_str()), 0);
}
#else
TEST_F(MaclauncherScriptGuardTest, PlatformProbeFindsNoMarkHere) {
  const int fd = open(script_.c_str(), O_RDONLY);
  EXPECT_FALSE(HasQuarantineMark(fd));
  close(fd);
  EXPECT_EQ(CheckStartScript(client_), ScriptVerdict::kAllowed);
}
#endif

}  // namespace
}  // namespace maclauncher
