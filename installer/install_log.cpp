#include "installer/install_log.h"

#include "common/runlog/runlog.h"

namespace zavinstaller {

void PrepareRunLog() {
  runlog::identity = {"zavserviceInstaller2", 52};
  runlog::MakeLogPath(runlog::logPath, "zavServiceInstall.log");
  runlog::TrimOversizedLog(runlog::logPath);
}

void LogLine(const char* message) { runlog::LogMessage(message, runlog::Force::kAlways); }

}  // namespace zavinstaller
