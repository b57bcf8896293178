// One run of the launcher: one link, one start script, one exit code.
#pragma once

#include "launcher/install_lookup.h"

namespace launcher {

// The unit name and line every launcher record carries.
constexpr runlog::Identity kLogIdentity = {"launcher", 227};

// Starts the log through `system` and handles the link. Returns the exit code: -1
// for a missing or unusable request, 0 otherwise (started, nothing found, or the
// start failed).
int RunLauncher(int argc, const char* const* argv, LauncherSystem& system);

}  // namespace launcher
