#include "clock/clock_core.h"

#include <windows.h>

#include "common/system_api.h"

namespace ql {

std::int32_t serverOffsetMs = 0;

void storeServerOffset(std::int64_t difference) {
  serverOffsetMs = static_cast<std::int32_t>(static_cast<std::uint32_t>(difference));
}

std::int64_t fileTimeToUnix100ns(std::int64_t fileTime) {
  double x = static_cast<double>(fileTime);
  double y = x - 116444736000000000.0;
  return static_cast<std::int64_t>(y);
}

std::int64_t readUnixClock(bool inMilliseconds) {
  FILETIME ft = {};
  systemApi().GetSystemTimeAsFileTime(&ft);
  auto raw = static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  double t = static_cast<double>(fileTimeToUnix100ns(raw));
  return static_cast<std::int64_t>(inMilliseconds ? t / 10000.0 : t / 10000000.0);
}

UnixMillis serverNowMillis() { return readUnixClock(true) - static_cast<std::int64_t>(serverOffsetMs); }

}  // namespace ql
