// What the benchmarks share: a clock, the timed rounds and a run of the
// message queue.
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <type_traits>

inline double Seconds() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Dispatches what is queued, without waiting.
inline void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The least time a timed round takes. Rounds of a few hundredths of a second
// measure the moments of a busy machine more than the work: their ratios
// wandered by a factor of two from one run to the next.
constexpr double RoundSeconds = 0.5;

// The seconds of one pass of run: its own word when it returns them (the
// measured part, without what it prepares around it: a fresh copy, an
// emptied folder), else the whole call.
template <class Run> double PassSeconds(Run& run) {
  if constexpr (std::is_void_v<decltype(run())>) {
    const double start = Seconds();
    run();
    return Seconds() - start;
  } else {
    return run();
  }
}

// One round of run: passes until they have taken RoundSeconds; the time per
// pass.
template <class Run> double RoundPerPass(Run& run) {
  double total = 0;
  int passes = 0;
  do {
    total += PassSeconds(run);
    ++passes;
  } while (total < RoundSeconds);
  return total / passes;
}

// The best time per pass of each piece of work over `rounds` rounds. The
// pieces take their rounds in turn, so a busy moment of the machine slows the
// work and its baseline alike; other programs only ever make a round slower,
// so the best one is the work's own.
template <class... Runs> std::array<double, sizeof...(Runs)> BestPerPass(int rounds, Runs&&... runs) {
  std::array<double, sizeof...(Runs)> best;
  best.fill(1e300);
  for (int round = 0; round < rounds; ++round) {
    size_t i = 0;
    ((best[i] = std::min(best[i], RoundPerPass(runs)), ++i), ...);
  }
  return best;
}
