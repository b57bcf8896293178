// spawn.h: the POSIX interface (the machine's own header), and what Apple adds to
// it (posix_spawnattr_setflags(3), posix_spawn_file_actions_addinherit_np(3) of
// macOS 11): POSIX_SPAWN_CLOEXEC_DEFAULT 0x4000, and the _np file action that keeps
// one descriptor open under it.
// https://developer.apple.com/library/archive/documentation/System/Conceptual/ManPages_iPhoneOS/man3/posix_spawnattr_setflags.3.html
#pragma once

#include_next <spawn.h>

#define POSIX_SPAWN_CLOEXEC_DEFAULT 0x4000

#ifdef __cplusplus
extern "C" {
#endif
int posix_spawn_file_actions_addinherit_np(posix_spawn_file_actions_t* file_actions, int filedes)
    __attribute__((availability(macos, introduced = 10.7)));
#ifdef __cplusplus
}
#endif
