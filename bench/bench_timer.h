// Wall-clock timing for the benchmarks: the median of repeated runs, so that
// one slow run on a shared machine does not decide the figure.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double nowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Runs `body` once to warm up (unless a single run is asked for), then `runs`
// times; prints and returns the median.
template <typename Body>
double measure(const char* label, int runs, Body body) {
  if (runs > 1) body();
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    double start = nowMs();
    body();
    ms.push_back(nowMs() - start);
  }
  std::sort(ms.begin(), ms.end());
  double median = ms[ms.size() / 2];
  std::printf("%-58s median %9.2f ms  max %9.2f ms  (%d runs)\n", label, median, ms.back(), runs);
  std::fflush(stdout);
  return median;
}

}  // namespace bench
