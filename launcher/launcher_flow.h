// One run of the launcher: one link, one start script, one exit code.
#pragma once

#include "launcher/install_lookup.h"

namespace launcher {

// The unit name and line every launcher record carries.
constexpr runlog::Identity kLogIdentity = {"launcher", 227};

// Expects the log path to be set. Returns the exit code: -1 for a missing or unusable
// request, 0 otherwise (started, nothing found, or the start failed).
int RunLauncher(int argc, const char* const* argv, LauncherSystem& system);

}  // namespace launcher
