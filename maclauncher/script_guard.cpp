#include "script_guard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>
#include <vector>

#ifdef __APPLE__
#include <sys/xattr.h>
#endif

extern char** environ;

namespace maclauncher {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

// Owned by root or by the user the app runs as: nobody else can change it.
bool OwnedByUs(const struct stat& info) { return info.st_uid == 0 || info.st_uid == geteuid(); }

// macOS's administrators, who can become root anyway: /Applications is theirs to write.
bool IsAdministratorsGroup(gid_t group) {
#ifdef __APPLE__
  return group == 80;  // admin
#else
  (void)group;
  return false;
#endif
}

// A directory above the client directory: nobody but root and us may rename or
// replace what is in it. Others may write it only where it is sticky and root's
// (then each entry belongs to whoever made it, as /tmp); its group only where that
// is also the case or the group is the administrators'.
ScriptVerdict CheckAncestor(const struct stat& info) {
  if (!OwnedByUs(info)) return ScriptVerdict::kForeignOwner;
  const bool stickyRoot = (info.st_mode & S_ISVTX) != 0 && info.st_uid == 0;
  if ((info.st_mode & S_IWOTH) != 0 && !stickyRoot) return ScriptVerdict::kDirectoryWritableByOthers;
  if ((info.st_mode & S_IWGRP) != 0 && !stickyRoot && !IsAdministratorsGroup(info.st_gid)) {
    return ScriptVerdict::kDirectoryWritableByOthers;
  }
  return ScriptVerdict::kAllowed;
}

// The client directory and bin: only we can change them.
ScriptVerdict CheckInstallationDirectory(const struct stat& info) {
  if ((info.st_mode & kWritableByOthers) != 0) return ScriptVerdict::kDirectoryWritableByOthers;
  return OwnedByUs(info) ? ScriptVerdict::kAllowed : ScriptVerdict::kForeignOwner;
}

// Disk images, USB and FAT volumes mounted with ownership ignored, and network
// shares: the owner seen there is whoever looks, and nothing marks a download.
bool OnTrustedVolume(int fd) {
#ifdef __APPLE__
  struct statfs volume {};
  if (fstatfs(fd, &volume) != 0) return false;
  return (volume.f_flags & MNT_LOCAL) != 0 && (volume.f_flags & MNT_IGNORE_OWNERSHIP) == 0;
#else
  (void)fd;
  return true;
#endif
}

bool HasParentComponent(std::string_view path) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    if (path.substr(start, end - start) == "..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

// The components of a path, in order; empty ones and "." are none.
std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") out.emplace_back(part);
    start = end + 1;
  }
  return out;
}

// One open descriptor, closed when it goes.
struct Fd {
  explicit Fd(int f) : fd(f) {}
  Fd(Fd&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    std::swap(fd, o.fd);
    return *this;
  }
  ~Fd() {
    if (fd >= 0) close(fd);
  }
  int fd;
};

// The directories of a walk, from "/" to the one it is in, held open.
class Descriptors {
 public:
  void Push(int fd) { fds_.emplace_back(fd); }
  int Top() const { return fds_.back().fd; }
  size_t Depth() const { return fds_.size(); }
  void Pop() { fds_.pop_back(); }
  // Back to the first one (the root).
  void Unwind() { fds_.erase(fds_.begin() + 1, fds_.end()); }

 private:
  std::vector<Fd> fds_;
};

constexpr int kMaxLinks = 32;

}  // namespace

const char* VerdictName(ScriptVerdict verdict) {
  // In the order of ScriptVerdict.
  static const char* const kNames[] = {
      "allowed",
      "not absolute",
      "parent component",
      "not a regular file",
      "script writable by others",
      "directory writable by others",
      "quarantined",
      "owned by another user",
      "on a volume that is not local or ignores ownership",
  };
  const auto index = static_cast<std::size_t>(verdict);
  return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "?";
}

bool HasQuarantineMark(const std::string& path) {
#ifdef __APPLE__
  return getxattr(path.c_str(), "com.apple.quarantine", nullptr, 0, 0, XATTR_NOFOLLOW) >= 0;
#else
  (void)path;
  return false;
#endif
}

std::string StartScriptPath(const std::string& clientDirectory) {
  return clientDirectory + kScriptPathSuffix;
}

ScriptVerdict CheckStartScript(const std::string& clientDirectory, const QuarantineProbe& quarantined) {
  if (clientDirectory.empty() || clientDirectory.front() != '/') {
    return ScriptVerdict::kNotAbsolute;
  }
  return CheckStartScriptPath(StartScriptPath(clientDirectory), quarantined);
}

ScriptVerdict CheckStartScriptPath(const std::string& script, const QuarantineProbe& quarantined) {
  int fd = -1;
  const ScriptVerdict verdict = OpenStartScript(script, &fd, quarantined);
  if (fd >= 0) close(fd);
  return verdict;
}

ScriptVerdict OpenStartScript(const std::string& script, int* fd, const QuarantineProbe& quarantined) {
  *fd = -1;
  const std::string_view suffix = kScriptPathSuffix;
  if (script.size() <= suffix.size() || script.front() != '/' ||
      script.compare(script.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return ScriptVerdict::kNotAbsolute;
  }
  if (HasParentComponent(script)) {
    return ScriptVerdict::kParentComponent;
  }
  // A name the system would cut short at a NUL is not the name that was read.
  if (script.find('\0') != std::string::npos) {
    return ScriptVerdict::kNotRegularFile;
  }

  // The path is walked from "/" one component at a time through open directories,
  // so each directory looked at is the one the next step opens, and symbolic links
  // are followed by hand. The last three components as written (the client
  // directory, bin and the script) are the installation's own; bin and the script
  // must be real entries, not links.
  std::vector<std::string> pending = Components(script);
  const size_t installation = 3;
  Descriptors walk;
  const int root = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) return ScriptVerdict::kNotRegularFile;
  walk.Push(root);
  struct stat info {};
  if (fstat(root, &info) != 0) return ScriptVerdict::kNotRegularFile;
  if (ScriptVerdict v = CheckAncestor(info); v != ScriptVerdict::kAllowed) return v;

  int links = 0;
  size_t next = 0;  // index into pending
  while (next < pending.size()) {
    const std::string name = pending[next];
    const size_t left = pending.size() - next;  // this component and those after it
    ++next;
    if (name == "..") {  // from a link's target
      if (walk.Depth() > 1) walk.Pop();
      continue;
    }
    if (fstatat(walk.Top(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return ScriptVerdict::kNotRegularFile;
    }
    if (S_ISLNK(info.st_mode)) {
      // Bin and the script are the installation's own entries.
      if (left <= 2) return ScriptVerdict::kNotRegularFile;
      // Only its owner (and root) can point a link elsewhere; it lies in a
      // directory already found safe.
      if (!OwnedByUs(info)) return ScriptVerdict::kForeignOwner;
      if (++links > kMaxLinks) return ScriptVerdict::kNotRegularFile;
      std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 0) + 2);
      const ssize_t n = readlinkat(walk.Top(), name.c_str(), target.data(), target.size());
      if (n <= 0 || static_cast<size_t>(n) >= target.size()) return ScriptVerdict::kNotRegularFile;
      const std::string_view text(target.data(), static_cast<size_t>(n));
      std::vector<std::string> resolved = Components(text);
      resolved.insert(resolved.end(), pending.begin() + static_cast<std::ptrdiff_t>(next), pending.end());
      pending = std::move(resolved);
      next = 0;
      if (text.front() == '/') walk.Unwind();
      continue;
    }
    if (left == 1) {
      // The script: opened once, without following a link, and the open file is
      // what is checked and what /bin/sh will read.
      const int file = openat(walk.Top(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
      if (file < 0) return ScriptVerdict::kNotRegularFile;
      struct stat opened {};
      ScriptVerdict verdict = ScriptVerdict::kAllowed;
      if (fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        verdict = ScriptVerdict::kNotRegularFile;
      } else if ((opened.st_mode & kWritableByOthers) != 0) {
        verdict = ScriptVerdict::kScriptWritableByOthers;
      } else if (!OwnedByUs(opened)) {
        verdict = ScriptVerdict::kForeignOwner;
      } else if (!OnTrustedVolume(file)) {
        verdict = ScriptVerdict::kUntrustedVolume;
      } else if (quarantined && quarantined(script)) {
        // Looked up by the path as written: every directory on the way was found
        // safe, so it names the file opened.
        verdict = ScriptVerdict::kQuarantined;
      }
      if (verdict != ScriptVerdict::kAllowed) {
        close(file);
        return verdict;
      }
      // Opened without waiting (a FIFO would block the open); read as usual.
      fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK);
      *fd = file;
      return ScriptVerdict::kAllowed;
    }
    if (!S_ISDIR(info.st_mode)) return ScriptVerdict::kNotRegularFile;
    const int directory = openat(walk.Top(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0) return ScriptVerdict::kNotRegularFile;
    walk.Push(directory);
    if (fstat(directory, &info) != 0) return ScriptVerdict::kNotRegularFile;
    const ScriptVerdict verdict =
        left <= installation ? CheckInstallationDirectory(info) : CheckAncestor(info);
    if (verdict != ScriptVerdict::kAllowed) return verdict;
    if (!OnTrustedVolume(directory)) return ScriptVerdict::kUntrustedVolume;
  }
  return ScriptVerdict::kNotRegularFile;
}

int RunStartScript(const std::string& scriptPath, const std::string& link) {
  int script = -1;
  if (OpenStartScript(scriptPath, &script) != ScriptVerdict::kAllowed) return -1;
  // /bin/sh reads the open file, as descriptor 3, and sources it: "$0" stays the
  // script's path and "$1" is the link, as when it is run by name.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, script, 3);
  const char* argv[] = {"/bin/sh", "-c", ". /dev/fd/3", scriptPath.c_str(), link.c_str(), nullptr};
  pid_t child = -1;
  const int spawned =
      posix_spawn(&child, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(script);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace maclauncher

extern "C" int zav_start_script_path_allowed(const char* scriptPath) {
  if (scriptPath == nullptr) {
    return 0;
  }
  return maclauncher::CheckStartScriptPath(scriptPath) == maclauncher::ScriptVerdict::kAllowed;
}

extern "C" int zav_run_start_script(const char* scriptPath, const char* link) {
  if (scriptPath == nullptr || link == nullptr) {
    return 0;
  }
  return maclauncher::RunStartScript(scriptPath, link) >= 0;
}
