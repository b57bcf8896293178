// POSIX side of the run log, so the record bytes can be checked on Linux and macOS.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

#include "common/runlog/runlog.h"

namespace runlog::platform {

bool ExecutablePath(char (&path)[ansi::kBufferSize]) {
#ifdef __APPLE__
  std::uint32_t size = ansi::kBufferSize;
  // Fails (and says how much it needs) for a path that does not fit.
  return _NSGetExecutablePath(path, &size) == 0 && path[0] != '\0';
#else
  ssize_t n = readlink("/proc/self/exe", path, ansi::kBufferSize);
  if (n <= 0 || static_cast<std::size_t>(n) >= ansi::kBufferSize) return false;
  path[n] = '\0';
  return true;
#endif
}

char PathSeparator() { return '/'; }

void DeleteIfLargerThan(const char* path, std::int32_t cap) {
  struct stat st;
  if (stat(path, &st) != 0) return;
  // Low 32 bits, read as a signed number, as the Windows side does.
  auto size = static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size));
  if (size > cap) unlink(path);
}

bool AppendBytes(const char* path, const char* bytes, std::size_t len) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ssize_t written = write(fd, bytes, len);
  close(fd);
  return written == static_cast<ssize_t>(len);
}

bool LocalNow(std::tm& out) {
  std::time_t t = std::time(nullptr);
  return localtime_r(&t, &out) != nullptr;
}

}  // namespace runlog::platform
