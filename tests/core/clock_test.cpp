#include <gtest/gtest.h>

#include <windows.h>

#include "clock/clock_core.h"
#include "common/system_api.h"

using namespace ql;

namespace {

std::int64_t g_fileTime = 0;

VOID WINAPI fakeClock(LPFILETIME ft) {
  ft->dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(g_fileTime));
  ft->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(g_fileTime) >> 32);
}

constexpr std::int64_t kEpoch = 116444736000000000LL;

// Runs `body` with the system clock reading `fileTime`, and the offset restored after.
template <typename Body>
void atFileTime(std::int64_t fileTime, Body body) {
  g_fileTime = fileTime;
  ScopedSystemFunction<decltype(&::GetSystemTimeAsFileTime)> fake(systemApi().GetSystemTimeAsFileTime, fakeClock);
  std::int32_t saved = serverOffsetMs;
  body();
  serverOffsetMs = saved;
}

}  // namespace

TEST(ClockCore, FileTimeToUnixTruncatesTowardZero) {
  EXPECT_EQ(fileTimeToUnix100ns(kEpoch), 0);
  EXPECT_EQ(fileTimeToUnix100ns(kEpoch + 16), 16);
  EXPECT_EQ(fileTimeToUnix100ns(kEpoch - 16), -16);
  EXPECT_EQ(fileTimeToUnix100ns(0), -kEpoch);
  // Present-day counts are rounded to the nearest double (a multiple of 16).
  EXPECT_EQ(fileTimeToUnix100ns(kEpoch + 16770000009999999LL) % 16, 0);
}

TEST(ClockCore, ReadUnixClockTruncatesMillisecondsAndSeconds) {
  struct Case {
    std::int64_t fileTime;
    bool millis;
    std::int64_t expected;
  } cases[] = {
      {kEpoch + 9000, true, 0},   // 00:00:00.0009
      {kEpoch + 10000, true, 1},  // 00:00:00.001
      {kEpoch - 5000, true, 0},   // 0.5 ms before the epoch: 0, not -1
      {kEpoch - 20000, true, -2},
      {kEpoch + 16770000009990000LL, true, 1677000000999},
      {kEpoch + 16770000009990000LL, false, 1677000000},
      {kEpoch - 15000000, false, -1},  // 1.5 s before: -1 s
  };
  for (const auto& c : cases)
    atFileTime(c.fileTime, [&] { EXPECT_EQ(readUnixClock(c.millis), c.expected) << c.fileTime; });
}

TEST(ClockCore, ServerNowAppliesTheSignExtendedOffset) {
  atFileTime(kEpoch + 16770000009990000LL, [] {
    serverOffsetMs = 0;
    EXPECT_EQ(serverNowMillis(), readUnixClock(true));
    serverOffsetMs = -1500;  // the server is 1.5 s ahead
    EXPECT_EQ(serverNowMillis(), 1677000000999 + 1500);
    storeServerOffset(0xFFFFFFFFLL);
    EXPECT_EQ(serverOffsetMs, -1);
    EXPECT_EQ(serverNowMillis(), 1677000001000);
  });
}

TEST(ClockCore, StoredOffsetKeepsTheLow32BitsOfADifference) {
  std::int32_t saved = serverOffsetMs;
  // A server stamp read through a wrapping 32-bit number: the wrap cancels.
  std::int64_t local = 1677000000999, server = 1677000000500;
  auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(server));
  storeServerOffset(local - wrapped);
  EXPECT_EQ(serverOffsetMs, 499);
  storeServerOffset(1LL << 31);  // beyond the range: wraps
  EXPECT_EQ(serverOffsetMs, INT32_MIN);
  storeServerOffset(-(1LL << 32) - 7);
  EXPECT_EQ(serverOffsetMs, -7);
  serverOffsetMs = saved;
}
