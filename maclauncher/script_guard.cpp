#include "maclauncher/script_guard.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "maclauncher/link_reading.h"

#ifdef __APPLE__
#include <membership.h>
#include <sys/acl.h>
#include <sys/xattr.h>
#endif

namespace maclauncher {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;
#ifdef __APPLE__
constexpr gid_t kAdministrators = 80;  // macOS's admin group
#endif

// macOS's administrators, who can become root anyway: /Applications is theirs to write.
bool IsAdministratorsGroup(gid_t group) {
#ifdef __APPLE__
  return group == kAdministrators;
#else
  (void)group;
  return false;
#endif
}

bool IsAdministrator(uid_t user) {
#ifdef __APPLE__
  uuid_t person, group;
  int member = 0;
  return mbr_uid_to_uuid(user, person) == 0 && mbr_gid_to_uuid(kAdministrators, group) == 0 &&
         mbr_check_membership(person, group, &member) == 0 && member != 0;
#else
  (void)user;
  return false;
#endif
}

// Who may own what the walk passes: root, the user the app runs as and, below a
// directory of the administrators' group, an administrator.
struct Owners {
  bool administrators = false;
  bool Trust(uid_t owner) const {
    return owner == 0 || owner == geteuid() || (administrators && IsAdministrator(owner));
  }
};

// An ACL entry that lets someone other than a trusted owner (or, where
// `adminGroup` is allowed, the administrators' group) change the entry's object:
// write or append its data, add or delete entries of a directory, or change its
// attributes, security or owner. Mode bits say nothing of these.
bool AclGrantsWriteToOthers(int fd, const Owners& owners, bool adminGroup) {
#ifdef __APPLE__
  acl_t acl = acl_get_fd_np(fd, ACL_TYPE_EXTENDED);
  if (acl == nullptr) return false;  // none
  bool grants = false;
  acl_entry_t entry;
  for (int which = ACL_FIRST_ENTRY; !grants && acl_get_entry(acl, which, &entry) == 0;
       which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    acl_permset_t permissions;
    if (acl_get_tag_type(entry, &tag) != 0 || tag != ACL_EXTENDED_ALLOW) continue;
    if (acl_get_permset(entry, &permissions) != 0) {
      grants = true;
      break;
    }
    const acl_perm_t writes[] = {
        ACL_WRITE_DATA,          ACL_APPEND_DATA,    ACL_DELETE_CHILD, ACL_WRITE_ATTRIBUTES,
        ACL_WRITE_EXTATTRIBUTES, ACL_WRITE_SECURITY, ACL_CHANGE_OWNER, ACL_DELETE};
    bool writing = false;
    for (acl_perm_t perm : writes) writing = writing || acl_get_perm_np(permissions, perm) == 1;
    if (!writing) continue;
    void* qualifier = acl_get_qualifier(entry);
    id_t id = 0;
    int type = -1;
    const bool known =
        qualifier != nullptr && mbr_uuid_to_id(static_cast<guid_t*>(qualifier)->g_guid, &id, &type) == 0;
    if (qualifier != nullptr) acl_free(qualifier);
    const bool trusted = known && ((type == ID_TYPE_UID && owners.Trust(static_cast<uid_t>(id))) ||
                                   (type == ID_TYPE_GID && adminGroup && IsAdministratorsGroup(id)));
    grants = !trusted;
  }
  acl_free(acl);
  return grants;
#else
  (void)fd;
  (void)owners;
  (void)adminGroup;
  return false;
#endif
}

// A directory above the client directory: nobody but the trusted owners may rename
// or replace what is in it. Others may write it only where it is sticky and root's
// (then each entry belongs to whoever made it, as /tmp); its group only where that
// is also the case or the group is the administrators'.
ScriptVerdict CheckAncestor(int fd, const struct stat& info, const Owners& owners) {
  if (!owners.Trust(info.st_uid)) return ScriptVerdict::kForeignOwner;
  const bool stickyRoot = (info.st_mode & S_ISVTX) != 0 && info.st_uid == 0;
  if ((info.st_mode & S_IWOTH) != 0 && !stickyRoot) return ScriptVerdict::kDirectoryWritableByOthers;
  if ((info.st_mode & S_IWGRP) != 0 && !stickyRoot && !IsAdministratorsGroup(info.st_gid)) {
    return ScriptVerdict::kDirectoryWritableByOthers;
  }
  if (!stickyRoot && AclGrantsWriteToOthers(fd, owners, true))
    return ScriptVerdict::kDirectoryWritableByOthers;
  return ScriptVerdict::kAllowed;
}

// The client directory and bin: only the trusted owners can change them.
ScriptVerdict CheckInstallationDirectory(int fd, const struct stat& info, const Owners& owners) {
  if ((info.st_mode & kWritableByOthers) != 0 || AclGrantsWriteToOthers(fd, owners, false)) {
    return ScriptVerdict::kDirectoryWritableByOthers;
  }
  return owners.Trust(info.st_uid) ? ScriptVerdict::kAllowed : ScriptVerdict::kForeignOwner;
}

// Disk images, USB and FAT volumes mounted with ownership ignored, and network
// shares: the owner seen there is whoever looks, and nothing marks a download. A
// quarantined volume (a downloaded disk image) is a download as a whole.
bool OnTrustedVolume(int fd) {
#ifdef __APPLE__
  struct statfs volume {};
  if (fstatfs(fd, &volume) != 0) return false;
  return (volume.f_flags & MNT_LOCAL) != 0 && (volume.f_flags & MNT_IGNORE_OWNERSHIP) == 0 &&
         (volume.f_flags & MNT_QUARANTINE) == 0;
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

// The directories of a walk, from "/" to the one it is in, held open.
class Descriptors {
 public:
  void Push(UniqueFd fd) { fds_.push_back(std::move(fd)); }
  int Top() const { return fds_.back().get(); }
  size_t Depth() const { return fds_.size(); }
  void Pop() { fds_.pop_back(); }
  // Back to the first one (the root).
  void Unwind() { fds_.erase(fds_.begin() + 1, fds_.end()); }

 private:
  std::vector<UniqueFd> fds_;
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
      "missing or unreadable",
      "not a directory",
      "bin or the script is a link",
      "too many links",
      "a NUL in the path",
  };
  const auto index = static_cast<std::size_t>(verdict);
  return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "?";
}

bool HasQuarantineMark(int fd) {
#ifdef __APPLE__
  return fgetxattr(fd, "com.apple.quarantine", nullptr, 0, 0, 0) >= 0;
#else
  (void)fd;
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

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

ScriptVerdict CheckStartScriptPath(const std::string& script, const QuarantineProbe& quarantined) {
  UniqueFd opened;
  return OpenStartScript(script, &opened, quarantined);
}

namespace {

// The link `name` in the directory `at` (its lstat `info`), followed: its target's
// components take its place before the components still `pending` from `next`,
// and the walk goes on from the first of them (from "/" when *absolute). False
// when the link cannot be read.
bool FollowLink(int at, const std::string& name, const struct stat& info, std::vector<std::string>& pending,
                size_t& next, bool* absolute) {
  std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 0) + 2);
  const ssize_t n = readlinkat(at, name.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size()) return false;
  const std::string_view text(target.data(), static_cast<size_t>(n));
  std::vector<std::string> resolved = Components(text);
  resolved.insert(resolved.end(), pending.begin() + static_cast<std::ptrdiff_t>(next), pending.end());
  pending = std::move(resolved);
  next = 0;
  *absolute = text.front() == '/';
  return true;
}

// The script, in the directory `at` the walk checked: opened once, without
// following a link, and the open file is what is checked and what /bin/sh will
// read. kAllowed with the descriptor in *opened; otherwise nothing stays open.
ScriptVerdict OpenCheckedScript(int at, const std::string& name, const Owners& owners,
                                const QuarantineProbe& quarantined, UniqueFd* opened) {
  // Opened without waiting (a FIFO would block the open); read as usual after.
  UniqueFd script(openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  const int file = script.get();
  if (file < 0) return ScriptVerdict::kMissing;
  struct stat status {};
  ScriptVerdict verdict = ScriptVerdict::kAllowed;
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    verdict = ScriptVerdict::kNotRegularFile;
  } else if ((status.st_mode & kWritableByOthers) != 0 || AclGrantsWriteToOthers(file, owners, false)) {
    verdict = ScriptVerdict::kScriptWritableByOthers;
  } else if (!owners.Trust(status.st_uid)) {
    verdict = ScriptVerdict::kForeignOwner;
  } else if (!OnTrustedVolume(file)) {
    verdict = ScriptVerdict::kUntrustedVolume;
  } else if (quarantined && quarantined(file)) {
    verdict = ScriptVerdict::kQuarantined;
  }
  if (verdict != ScriptVerdict::kAllowed) return verdict;
  fcntl(file, F_SETFL, fcntl(file, F_GETFL) & ~O_NONBLOCK);
  *opened = std::move(script);
  return ScriptVerdict::kAllowed;
}

// What the path's text alone tells: a client directory's script, named as written.
ScriptVerdict CheckScriptPathText(const std::string& script) {
  const std::string_view suffix = kScriptPathSuffix;
  if (script.size() <= suffix.size() || script.front() != '/' ||
      script.compare(script.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return ScriptVerdict::kNotAbsolute;
  }
  if (HasParentComponent(script)) return ScriptVerdict::kParentComponent;
  // A name the system would cut short at a NUL is not the name that was read.
  if (script.find('\0') != std::string::npos) return ScriptVerdict::kNulInPath;
  return ScriptVerdict::kAllowed;
}

}  // namespace

ScriptVerdict OpenStartScript(const std::string& script, UniqueFd* opened,
                              const QuarantineProbe& quarantined) {
  *opened = UniqueFd();
  if (ScriptVerdict v = CheckScriptPathText(script); v != ScriptVerdict::kAllowed) return v;

  // The path is walked from "/" one component at a time through open directories,
  // so each directory looked at is the one the next step opens, and symbolic links
  // are followed by hand. The last three components as written (the client
  // directory, bin and the script) are the installation's own; bin and the script
  // must be real entries, not links.
  std::vector<std::string> pending = Components(script);
  const size_t installation = 3;
  Descriptors walk;
  UniqueFd rootFd(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const int root = rootFd.get();
  if (root < 0) return ScriptVerdict::kMissing;
  walk.Push(std::move(rootFd));
  struct stat info {};
  if (fstat(root, &info) != 0) return ScriptVerdict::kMissing;
  Owners owners;
  if (ScriptVerdict v = CheckAncestor(root, info, owners); v != ScriptVerdict::kAllowed) return v;

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
      return ScriptVerdict::kMissing;
    }
    if (S_ISLNK(info.st_mode)) {
      // Bin and the script are the installation's own entries.
      if (left <= 2) return ScriptVerdict::kLinkInInstallation;
      // Only its owner (and root) can point a link elsewhere; it lies in a
      // directory already found safe.
      if (!owners.Trust(info.st_uid)) return ScriptVerdict::kForeignOwner;
      if (++links > kMaxLinks) return ScriptVerdict::kTooManyLinks;
      bool absolute = false;
      if (!FollowLink(walk.Top(), name, info, pending, next, &absolute)) return ScriptVerdict::kMissing;
      if (absolute) walk.Unwind();
      continue;
    }
    if (left == 1) return OpenCheckedScript(walk.Top(), name, owners, quarantined, opened);
    if (!S_ISDIR(info.st_mode)) return ScriptVerdict::kNotDirectory;
    if (left == 2) {
      // Bin is next: the directory it lies in is the client directory, whatever
      // links and ".." led here (a link to "sub/.." of a folder anyone may write
      // makes that folder the client directory).
      struct stat client {};
      if (fstat(walk.Top(), &client) != 0) return ScriptVerdict::kMissing;
      if (ScriptVerdict v = CheckInstallationDirectory(walk.Top(), client, owners);
          v != ScriptVerdict::kAllowed) {
        return v;
      }
    }
    UniqueFd opening(openat(walk.Top(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const int directory = opening.get();
    if (directory < 0) return ScriptVerdict::kMissing;
    walk.Push(std::move(opening));
    if (fstat(directory, &info) != 0) return ScriptVerdict::kMissing;
    const ScriptVerdict verdict = left <= installation ? CheckInstallationDirectory(directory, info, owners)
                                                       : CheckAncestor(directory, info, owners);
    if (verdict != ScriptVerdict::kAllowed) return verdict;
    if (!OnTrustedVolume(directory)) return ScriptVerdict::kUntrustedVolume;
    // Below a directory of the administrators' group, an administrator is a
    // trusted owner (as of a client another administrator put in /Applications).
    if (IsAdministratorsGroup(info.st_gid)) owners.administrators = true;
  }
  return ScriptVerdict::kMissing;  // the path ended in a link's ".."
}

}  // namespace maclauncher
