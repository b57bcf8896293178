// Running the start script the guard allowed: as "/bin/sh <script> <link>", with
// nothing of the app's but the standard descriptors, and the C interface the
// Objective-C delegate calls.
#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "maclauncher/link_reading.h"
#include "maclauncher/script_guard.h"

extern char** environ;

namespace maclauncher {

namespace {

// Where macOS has it (the private call terminal emulators and browsers use), the
// child is made responsible for itself: privacy permissions (camera, microphone)
// are then asked for the client, not judged against this app's signature.
void DisclaimResponsibility(posix_spawnattr_t* attributes) {
#ifdef __APPLE__
  using Disclaim = int (*)(posix_spawnattr_t*, int);
  if (auto disclaim =
          reinterpret_cast<Disclaim>(dlsym(RTLD_DEFAULT, "responsibility_spawnattrs_setdisclaim"))) {
    disclaim(attributes, 1);
  }
#else
  (void)attributes;
#endif
}

}  // namespace

ScriptVerdict SpawnStartScript(const std::string& scriptPath, const std::string& link, int* child) {
  *child = -1;
  if (ScriptVerdict verdict = CheckStartScriptPath(scriptPath); verdict != ScriptVerdict::kAllowed) {
    return verdict;
  }

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
  flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;  // only what the file actions name is inherited
#endif
  posix_spawnattr_setflags(&attributes, flags);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  DisclaimResponsibility(&attributes);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
  for (int fd = 0; fd <= 2; ++fd) posix_spawn_file_actions_addinherit_np(&actions, fd);
#else
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  // As "sh <script> <link>": "$0" (and bash's BASH_SOURCE) is the script's path,
  // "$1" the link.
  const char* argv[] = {"/bin/sh", scriptPath.c_str(), link.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned == 0) *child = pid;
  return ScriptVerdict::kAllowed;
}

int WaitForScript(int child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

int RunStartScript(const std::string& scriptPath, const std::string& link) {
  int child = -1;
  SpawnStartScript(scriptPath, link, &child);
  return child < 0 ? -1 : WaitForScript(child);
}

}  // namespace maclauncher

namespace {

void Say(char* why, int size, const char* text) {
  if (why != nullptr && size > 0) std::snprintf(why, static_cast<size_t>(size), "%s", text);
}

}  // namespace

extern "C" int zav_start_script_path_allowed(const char* scriptPath) {
  if (scriptPath == nullptr) {
    return 0;
  }
  return maclauncher::CheckStartScriptPath(scriptPath) == maclauncher::ScriptVerdict::kAllowed;
}

extern "C" int zav_spawn_start_script(const char* scriptPath, const char* link, char* why, int size) {
  if (scriptPath == nullptr || link == nullptr) {
    Say(why, size, "no script path or link");
    return -1;
  }
  int child = -1;
  const maclauncher::ScriptVerdict verdict = maclauncher::SpawnStartScript(scriptPath, link, &child);
  if (verdict != maclauncher::ScriptVerdict::kAllowed) {
    Say(why, size, maclauncher::VerdictName(verdict));
  } else if (child < 0) {
    Say(why, size, "/bin/sh could not be started");
  }
  return child;
}

extern "C" int zav_wait_start_script(int child) { return maclauncher::WaitForScript(child); }

extern "C" int zav_link_text_refused(const char* text, int length, char* why, int size) {
  if (text == nullptr || length < 0) length = 0;
  const maclauncher::LinkRefusal refusal =
      maclauncher::CheckLinkText(std::string_view(text != nullptr ? text : "", static_cast<size_t>(length)));
  if (refusal == maclauncher::LinkRefusal::kNone) return 0;
  Say(why, size, maclauncher::LinkRefusalName(refusal));
  return 1;
}

extern "C" int zav_start_script_of_link(const char* link, char* path, int size) {
  if (link == nullptr || path == nullptr || size <= 0) return 0;
  const std::optional<std::string> script = maclauncher::StartScriptPathOfLink(link);
  if (!script || script->size() >= static_cast<size_t>(size)) return 0;
  std::snprintf(path, static_cast<size_t>(size), "%s", script->c_str());
  return 1;
}
