// Check counting for the Windows test programs of the binding, which run under
// Wine without a test framework: every CHECK is counted, failures are printed with
// the current group and line, and the program's result is Summary().
#pragma once

#include <cstdio>

namespace win_checks {

inline int checks = 0;
inline int failures = 0;
// The group the following checks belong to; set before each group of checks.
inline const char* group = "";

inline void Check(bool ok, const char* what, int line) {
  // Each group announces itself, so a hang shows where it happened.
  static const char* shown = nullptr;
  if (shown != group) {
    shown = group;
    std::printf("[%s]\n", group);
    std::fflush(stdout);
  }
  ++checks;
  if (!ok) {
    ++failures;
    std::printf("FAIL [%s] line %d: %s\n", group, line, what);
    std::fflush(stdout);
  }
}

// Prints the counts; 0 when every check held, else 1.
inline int Summary() {
  std::printf("%d checks, %d failed\n", checks, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace win_checks

#define CHECK(cond) ::win_checks::Check((cond), #cond, __LINE__)
