// Instants to the texts the clock shows, through the Windows locale services
// and the script engine's Date.
#pragma once

#include <cstdint>

#include "clock/clock_core.h"
#include "text/text.h"

namespace ql {

// Days since 1899-12-30 00:00:00 local time; the fraction is the time of day.
using DateTime = double;
constexpr DateTime kInvalidDateTime = -657434.0;  // 0100-01-01 00:00:00

// HH:mm:ss:NNN in local time; NNN are the count's own last three digits.
Text formatClockText(UnixMillis millis);

// A decimal Unix timestamp as yyyy-MM-dd HH:mm:ss. Ten characters are seconds,
// converted by calendar arithmetic from 1970-01-01 08:00 (hourMode 1: 12-hour
// hours, 2: 24-hour, else the locale's); anything else goes through the
// script engine's Date as milliseconds. Empty on failure.
Text timestampToDateTimeText(const Text& timestamp, std::int32_t hourMode);

// 1 when the user's locale uses a 24-hour clock, 0 for a 12-hour clock.
std::int32_t localeHourFormat();

// yyyy-MM-dd HH:mm:ss (also with "." or "/" in the date) to a DateTime;
// kInvalidDateTime when the fields do not form a valid date and time.
DateTime textToDateTime(const Text& dateTimeText);

// The date part by `datePattern` followed directly by the time part by
// `timePattern` (Windows format pictures); empty when `value` is out of range.
Text formatDateTime(DateTime value, const Text& datePattern, const Text& timePattern, bool force24Hour = false,
                    std::int32_t locale = 0);

}  // namespace ql
