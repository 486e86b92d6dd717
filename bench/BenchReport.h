// How every benchmark reports its verdicts: a ratio beside its aim, and an
// output that must equal the one its baseline made. tools/bench --check reads
// the aim lines; a benchmark whose output differs exits non-zero.
#pragma once

#include <cstdio>

inline int& BenchDifferences() {
  static int count = 0;
  return count;
}

// An output that must be byte for byte the baseline's: a fast wrong answer
// measures nothing.
inline bool CheckSame(const char* what, bool same) {
  if (!same) {
    std::printf("  %s: OUTPUT DIFFERS from the baseline's\n", what);
    ++BenchDifferences();
  }
  return same;
}

// The one line form tools/bench --check looks for:
//   "  aim <label>: <ratio>x, aim <limit>x: met" (or "MISSED").
inline void ReportAim(const char* label, double ratio, double limit) {
  std::printf("  aim %s: %.2fx, aim %.2fx: %s\n", label, ratio, limit, ratio <= limit ? "met" : "MISSED");
}

// What main returns: non-zero once any output differed.
inline int BenchExitCode() { return BenchDifferences() == 0 ? 0 : 1; }
