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

// The best time per pass of each piece of work over `rounds` rounds. A round
// runs a pass of each piece in turn until every piece has had RoundSeconds,
// so the work and its baseline share the machine's busy and quiet moments
// pass by pass; other programs only ever make a round slower, so the best
// round is the work's own.
template <class... Runs> std::array<double, sizeof...(Runs)> BestPerPass(int rounds, Runs&&... runs) {
  constexpr size_t count = sizeof...(Runs);
  std::array<double, count> best;
  best.fill(1e300);
  for (int round = 0; round < rounds; ++round) {
    std::array<double, count> total{};
    std::array<int, count> passes{};
    while (*std::min_element(total.begin(), total.end()) < RoundSeconds) {
      size_t i = 0;
      ((total[i] += PassSeconds(runs), ++passes[i], ++i), ...);
    }
    for (size_t i = 0; i < count; ++i) best[i] = std::min(best[i], total[i] / passes[i]);
  }
  return best;
}
