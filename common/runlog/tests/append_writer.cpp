// Test writer for the run log's appends: writes COUNT numbered records to LOG, one
// append each, as the programs do.
//   append_writer LOG WRITER COUNT
#include <cstdio>
#include <cstdlib>

#include "runlog.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: append_writer LOG WRITER COUNT\n");
    return 2;
  }
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
