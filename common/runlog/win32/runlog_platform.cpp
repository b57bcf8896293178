// Windows side of the run log.
#include <windows.h>

#include <string>

#include "common/runlog/runlog.h"
#include "common/win32/scoped_handles.h"

namespace runlog::platform {

namespace {

// A UTF-8 path in the form the wide file functions take; empty when it is not UTF-8.
std::wstring WidePath(const char* path) {
  int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, &wide[0], size) != size) return {};
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}

}  // namespace

bool ExecutablePath(char (&path)[ansi::kBufferSize]) {
  // Room for any path whose UTF-8 form can fit; a full buffer means it was cut.
  wchar_t wide[ansi::kBufferSize];
  DWORD n = GetModuleFileNameW(nullptr, wide, ansi::kBufferSize);
  if (n == 0 || n >= ansi::kBufferSize) return false;
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n) + 1, path, ansi::kBufferSize, nullptr,
                                  nullptr);
  return bytes > 0;
}

char PathSeparator() { return '\\'; }

void DeleteIfLargerThan(const char* path, std::int32_t cap) {
  // Attribute access alone takes no part in sharing checks, so the delete is accepted
  // while the handle is open and takes effect when it is closed.
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return;
  zav::win32::ScopedKernelHandle file(
      CreateFileW(wide.c_str(), FILE_READ_EA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return;
  // The whole 64-bit size: a log past 2 GiB is over the cap too.
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > cap) DeleteFileW(wide.c_str());
}

namespace {

// Holds the named mutex of one log for the time of one append. Append-only access
// alone makes every write land at the current end of the file on NTFS, but not on
// every file system the log may live on (Wine's appends, for one, are a seek and
// a write, and lose records when processes write at once), so the writers of a
// log also take turns. The wait is bounded: a writer that hangs, or a foreign
// process holding the name, delays a record but never stops the program; after
// the wait the record is written regardless. Once a wait has run out the holder is
// taken to be stuck: the rest of the run takes its turn only when it is free at once.
class AppendTurn {
 public:
  explicit AppendTurn(const char* path) {
    char name[kAppendLockNameSize];
    MakeAppendLockName(path, name);
    mutex_.reset(CreateMutexA(nullptr, FALSE, name));
    if (!mutex_) return;
    // An abandoned mutex (its holder died) is owned all the same.
    DWORD r = WaitForSingleObject(mutex_.get(), holderStuck_ ? 0 : kWaitMs);
    owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    if (r == WAIT_TIMEOUT) holderStuck_ = true;
  }
  ~AppendTurn() {
    if (owned_) ReleaseMutex(mutex_.get());
  }
  AppendTurn(const AppendTurn&) = delete;
  AppendTurn& operator=(const AppendTurn&) = delete;

 private:
  static constexpr DWORD kWaitMs = 2000;
  // The programs write their records from one thread.
  static inline bool holderStuck_ = false;
  zav::win32::ScopedKernelHandle mutex_;
  bool owned_ = false;
};

}  // namespace

bool AppendBytes(const char* path, const char* bytes, std::size_t len) {
  AppendTurn turn(path);
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  zav::win32::ScopedKernelHandle file(CreateFileW(wide.c_str(), FILE_APPEND_DATA,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file.get(), bytes, static_cast<DWORD>(len), &written, nullptr);
  return ok && written == len;
}

bool LocalNow(std::tm& out) {
  // The system's own local time, not the C runtime's: a 32-bit program's time_t
  // wraps in January 2038, and localtime_s refuses the wrapped value.
  SYSTEMTIME st;
  GetLocalTime(&st);
  out = std::tm{};
  out.tm_year = st.wYear - 1900;
  out.tm_mon = st.wMonth - 1;
  out.tm_mday = st.wDay;
  out.tm_hour = st.wHour;
  out.tm_min = st.wMinute;
  out.tm_sec = st.wSecond;
  out.tm_wday = st.wDayOfWeek;
  return true;
}

}  // namespace runlog::platform
