// The local clock as Unix time, and the one correction that turns it into the
// chosen platform's server time.
#pragma once

#include <cstdint>

namespace ql {

using UnixMillis = std::int64_t;

// Local clock minus server clock, in milliseconds, with the user's delay
// folded in. Only the low 32 bits of a difference are kept: a server stamp read
// through a wrapping 32-bit number still gives the right offset.
extern std::int32_t serverOffsetMs;
void storeServerOffset(std::int64_t difference);

// Whole milliseconds (or seconds) since 1970-01-01 UTC, truncated toward zero.
std::int64_t readUnixClock(bool inMilliseconds);
// A FILETIME count as 100 ns intervals since 1970, through double precision
// exactly as the clock has always computed it.
std::int64_t fileTimeToUnix100ns(std::int64_t fileTime);
UnixMillis serverNowMillis();

}  // namespace ql
