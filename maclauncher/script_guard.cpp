#include "script_guard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#ifdef __APPLE__
#include <sys/xattr.h>
#endif

namespace maclauncher {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

// Owned by root or by the user the app runs as: nobody else can change it.
bool OwnedByUs(const struct stat& info) { return info.st_uid == 0 || info.st_uid == geteuid(); }

// The directory at `path` is one only we can change; its verdict otherwise.
ScriptVerdict CheckDirectory(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || (info.st_mode & kWritableByOthers) != 0) {
    return ScriptVerdict::kDirectoryWritableByOthers;
  }
  return OwnedByUs(info) ? ScriptVerdict::kAllowed : ScriptVerdict::kForeignOwner;
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

}  // namespace

const char* VerdictName(ScriptVerdict verdict) {
  switch (verdict) {
    case ScriptVerdict::kAllowed:
      return "allowed";
    case ScriptVerdict::kNotAbsolute:
      return "not absolute";
    case ScriptVerdict::kParentComponent:
      return "parent component";
    case ScriptVerdict::kNotRegularFile:
      return "not a regular file";
    case ScriptVerdict::kScriptWritableByOthers:
      return "script writable by others";
    case ScriptVerdict::kDirectoryWritableByOthers:
      return "directory writable by others";
    case ScriptVerdict::kQuarantined:
      return "quarantined";
    case ScriptVerdict::kForeignOwner:
      return "owned by another user";
  }
  return "?";
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

  // The script itself must be a file, not a link to one elsewhere.
  struct stat scriptInfo {};
  if (lstat(script.c_str(), &scriptInfo) != 0 || !S_ISREG(scriptInfo.st_mode)) {
    return ScriptVerdict::kNotRegularFile;
  }
  if ((scriptInfo.st_mode & kWritableByOthers) != 0) {
    return ScriptVerdict::kScriptWritableByOthers;
  }
  if (!OwnedByUs(scriptInfo)) {
    return ScriptVerdict::kForeignOwner;
  }

  // Whoever may write bin or the client directory may swap the script (or bin)
  // for another one.
  const std::string bin = script.substr(0, script.rfind('/'));
  const std::string client = bin.substr(0, bin.rfind('/'));
  for (const std::string& directory : {bin, client}) {
    const ScriptVerdict verdict = CheckDirectory(directory.empty() ? "/" : directory);
    if (verdict != ScriptVerdict::kAllowed) return verdict;
  }

  if (quarantined && quarantined(script)) {
    return ScriptVerdict::kQuarantined;
  }
  return ScriptVerdict::kAllowed;
}

}  // namespace maclauncher

extern "C" int zav_start_script_path_allowed(const char* scriptPath) {
  if (scriptPath == nullptr) {
    return 0;
  }
  return maclauncher::CheckStartScriptPath(scriptPath) == maclauncher::ScriptVerdict::kAllowed;
}
