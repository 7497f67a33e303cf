// Cost of one clock tick's work: serverNowMillis plus formatClockText.
// Usage: clock_tick_bench [calls]   (default 2000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "clock/clock_core.h"
#include "clock/date_time_text.h"
#include "common/automation.h"

int main(int argc, char** argv) {
  int calls = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (calls < 10) calls = 10;
  OleInitialize(nullptr);  // as the program does at start-up
  LARGE_INTEGER freq, a, b;
  QueryPerformanceFrequency(&freq);
  std::vector<double> ms;
  ms.reserve(static_cast<std::size_t>(calls));
  std::size_t chars = 0;
  for (int i = 0; i < calls; ++i) {
    QueryPerformanceCounter(&a);
    ql::Text text = ql::formatClockText(ql::serverNowMillis());
    QueryPerformanceCounter(&b);
    chars += text.size();
    ms.push_back(1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart));
  }
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1))]; };
  std::printf("clock tick: %d calls, median %.3f ms, p95 %.3f ms, min %.3f ms, max %.3f ms (last text %zu chars)\n",
              calls, at(0.5), at(0.95), ms.front(), ms.back(), chars / static_cast<std::size_t>(calls));
  OleUninitialize();
  return 0;
}
