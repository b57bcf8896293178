#include "script_guard.h"

#include <sys/stat.h>

#include <string_view>

#include "link.h"

#ifdef __APPLE__
#include <sys/xattr.h>
#endif

namespace maclauncher {

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

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

  // Whoever may write the directory may swap the script for another one.
  const std::string directory = script.substr(0, script.rfind('/'));
  struct stat directoryInfo {};
  if (stat(directory.c_str(), &directoryInfo) != 0 || !S_ISDIR(directoryInfo.st_mode) ||
      (directoryInfo.st_mode & kWritableByOthers) != 0) {
    return ScriptVerdict::kDirectoryWritableByOthers;
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
