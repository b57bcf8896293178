// Run log shared by the Windows programs: one timestamped record per message,
// appended to a file beside the executable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>

#include "common/ansi/ansi_chars.h"
#include "common/ansi/text_cut.h"

namespace runlog {

// A log larger than this is discarded by TrimOversizedLog (one of exactly this size stays).
constexpr std::int32_t kSizeCap = 0x500000;

// Verbose switch: kVerbose writes every record, kQuiet (the start value) only
// forced ones.
enum class Level { kQuiet = -1, kVerbose = 1 };
extern Level logLevel;

// Whether a record is written whatever the switch says.
enum class Force { kIfVerbose = 0, kAlways = 1 };
// Set once at start by MakeLogPath, read by every record write.
extern char logPath[ansi::kBufferSize];

// Who writes: every record of a program carries the same unit name and line.
struct Identity {
  const char* unitName;
  int line;
};
extern Identity identity;

// Fills `path` with the directory of the running executable and `fileName`;
// the bare file name when the executable path cannot be had or would not fit.
void MakeLogPath(char (&path)[ansi::kBufferSize], const char* fileName);

// Deletes an existing log at `path` that is larger than kSizeCap.
void TrimOversizedLog(const char* path);

// A program's start of its log, the one way both take it: `who` writes every
// record, into `fileName` beside the executable (MakeLogPath), and a log there
// over kSizeCap is deleted first (TrimOversizedLog).
void StartLog(const Identity& who, const char* fileName);

// Appends one record, in one write, to `path`. A record that cannot be written is dropped.
void WriteLogLine(const char* path, const char* message, const char* unitName, int line);

// Writes `message` when it is forced or the verbose switch is on.
void LogMessage(const char* message, Force force);

// A record's message made of pieces, one after another, cut between characters
// at the buffer, nothing after a cut piece: the one way both programs compose
// their records.
struct Message {
  ansi::Buffer text;
};
Message ComposeMessage(std::initializer_list<const char*> pieces,
                       ansi::CharNextFn next = &ansi::SystemCharNext);

// --- Pieces below are the portable decisions behind the calls above. ---

// Largest record: timestamp, unit name, line, a message cut to ansi::kBufferSize - 1 bytes
// whose every byte may be a control byte (written as four).
constexpr std::size_t kRecordCapacity = 4 * ansi::kBufferSize + 100;

// Formats "<time> <unit>(:<line>):<message>" and the line end CR CR LF (the Windows
// runtime's text mode writes the "\r\n" of the record format so). A record is one
// line whatever the message holds: its control bytes (below 0x20) are written
// visibly, CR as \r, LF as \n, tab as \t and the others as \x and two hex digits,
// so text from a link or the registry can never put a line of its own into the log.
// Returns the record's length. The message is cut as CopyCut cuts. Only an absurd
// unit name makes the record longer than the capacity; it is then cut, and still
// ends with its line end.
std::size_t FormatRecord(char (&out)[kRecordCapacity], const std::tm& when, const char* unitName, int line,
                         const char* message, ansi::CharNextFn next = &ansi::SystemCharNext);

// Log path from the executable path: everything up to the last `separator`, then
// `separator` and `fileName`. Returns false (and leaves `path` alone) when the result
// would not fit or the executable path has no separator.
bool ComposeLogPath(const char* exePath, char separator, const char* fileName,
                    char (&path)[ansi::kBufferSize]);

// Name of the lock that writers of the log at `path` hold while appending:
// "zavlog-" and 16 hex digits of a hash of the path with ASCII letters folded to
// lower case, so the spellings of one path that differ only in case share it.
constexpr std::size_t kAppendLockNameSize = 24;
void MakeAppendLockName(const char* path, char (&name)[kAppendLockNameSize]);

// Platform layer. Paths are in the encoding the platform names files in without
// loss: UTF-8 on Windows too, opened there through the wide functions, so the log
// lands beside the executable whatever the ANSI code page makes of its folder's
// name. (Records themselves stay bytes of the code page.)
namespace platform {
// Full path of the running executable; false when it cannot be had or is too long.
bool ExecutablePath(char (&path)[ansi::kBufferSize]);
char PathSeparator();
// Deletes the file at `path` when its size, read as a signed 32-bit number, exceeds
// `cap`; leaves it alone when it cannot be opened or its size cannot be read.
void DeleteIfLargerThan(const char* path, std::int32_t cap);
// Appends `len` bytes to `path` in one write, creating the file; false on failure.
bool AppendBytes(const char* path, const char* bytes, std::size_t len);
// The local date and time of now, for any date the system clock can show.
bool LocalNow(std::tm& out);
}  // namespace platform

}  // namespace runlog
