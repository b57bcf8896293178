// The installer's run log: zavServiceInstall.log beside the executable, every record
// forced and marked with the installer's unit name and line.
#pragma once

namespace zavinstaller {

// Sets the records' identity, fixes the log path and drops a log above the size cap.
void PrepareRunLog();
// One record.
void LogLine(const char* message);

}  // namespace zavinstaller
