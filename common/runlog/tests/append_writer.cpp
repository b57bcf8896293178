// Test writer for the run log's appends: writes COUNT numbered records to LOG, one
// append each, as the programs do; or, with "hold", takes the turn of LOG's writers
// and keeps it for SECONDS, as a writer that hangs would.
//   append_writer LOG WRITER COUNT
//   append_writer LOG hold SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/runlog/runlog.h"
#include "common/win32/scoped_handles.h"

namespace {

int Hold(const char* path, int seconds) {
  char name[runlog::kAppendLockNameSize];
  runlog::MakeAppendLockName(path, name);
  zav::win32::ScopedKernelHandle mutex(CreateMutexA(nullptr, TRUE, name));
  if (!mutex) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: append_writer LOG WRITER COUNT | append_writer LOG hold SECONDS\n");
    return 2;
  }
  if (std::strcmp(argv[2], "hold") == 0) return Hold(argv[1], std::atoi(argv[3]));
  const int writer = std::atoi(argv[2]);
  const int count = std::atoi(argv[3]);
  int failed = 0;
  for (int i = 0; i < count; ++i) {
    char record[64];
    int len = std::snprintf(record, sizeof record, "writer %03d record %06d\r\r\n", writer, i);
    if (!runlog::platform::AppendBytes(argv[1], record, static_cast<std::size_t>(len))) ++failed;
  }
  if (failed) std::fprintf(stderr, "writer %d: %d appends failed\n", writer, failed);
  return failed ? 1 : 0;
}
