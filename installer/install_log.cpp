#include "installer/install_log.h"

#include "common/runlog/runlog.h"

namespace zavinstaller {

void PrepareRunLog() { runlog::StartLog({"zavserviceInstaller2", 52}, "zavServiceInstall.log"); }

void LogLine(const char* message) { runlog::LogMessage(message, runlog::Force::kAlways); }

}  // namespace zavinstaller
