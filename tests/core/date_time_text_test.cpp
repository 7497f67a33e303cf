#include <gtest/gtest.h>

#include <windows.h>

#include "clock/date_time_text.h"
#include "common/automation.h"

using namespace ql;

namespace {

// Minutes west of UTC of the zone this process runs in (-480 for UTC+8).
long zoneBiasMinutes() {
  TIME_ZONE_INFORMATION tz;
  GetTimeZoneInformation(&tz);
  return tz.Bias;
}

class ComThread : public ::testing::Test {
 protected:
  ComInit com_;
};

}  // namespace

// Run in UTC+8 and again in UTC (CTest runs these twice).
TEST_F(ComThread, TimeZoneClockTextIsLocalTimeWithTheCountsOwnMilliseconds) {
  long bias = zoneBiasMinutes();
  ASSERT_TRUE(bias == -480 || bias == 0) << "run with TZ=Asia/Shanghai or TZ=UTC, bias " << bias;
  EXPECT_EQ(formatClockText(1677000000999), bias == 0 ? "17:20:00:999" : "01:20:00:999");
  EXPECT_EQ(formatClockText(1677000000007), bias == 0 ? "17:20:00:007" : "01:20:00:007");
  // Milliseconds truncate, never round up into the next second.
  EXPECT_EQ(formatClockText(1677000059999), bias == 0 ? "17:20:59:999" : "01:20:59:999");
  EXPECT_EQ(timestampToDateTimeText("1677000000000", 1), bias == 0 ? "2023-02-21 17:20:00" : "2023-02-22 01:20:00");
}

TEST(DateTimeText, TimeZoneTenCharacterStampsAreUtcPlus8Everywhere) {
  struct Case {
    const char* stamp;
    int hourMode;
    const char* expected;
  } cases[] = {
      {"1677000000", 2, "2023-02-22 01:20:00"}, {"1677000000", 1, "2023-02-22 01:20:00"},
      {"1677070800", 1, "2023-02-22 09:00:00"},  // 21:00 on a 12-hour clock, no AM/PM
      {"1677070800", 2, "2023-02-22 21:00:00"}, {"0000000000", 2, "1970-01-01 08:00:00"},
      {"2147483647", 2, "2038-01-19 11:14:07"}, {"2147483648", 2, "1901-12-14 04:45:52"},  // wraps to a negative count
      {"4294967295", 2, "1970-01-01 07:59:59"},                                            // -1 s
      {"１００0000", 2, "1970-01-12 21:46:40"},  // full-width １００ then 0000: 1000000 s
  };
  for (const auto& c : cases) {
    EXPECT_EQ(timestampToDateTimeText(c.stamp, c.hourMode), c.expected) << c.stamp << " mode " << c.hourMode;
  }
}

// The tests run as a Chinese Windows does: ANSI code page 936 and the
// Simplified Chinese locale, whose clock has 24 hours.
TEST(DateTimeText, LocaleHourModeFollowsTheLocale) {
  ASSERT_EQ(GetACP(), 936u);
  ASSERT_EQ(GetUserDefaultLCID(),
            static_cast<LCID>(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT)));
  EXPECT_EQ(localeHourFormat(), 1);
  // Mode 0 takes the locale's choice: 21:00, not 09:00.
  EXPECT_EQ(timestampToDateTimeText("1677070800", 0), "2023-02-22 21:00:00");
}

TEST(DateTimeText, TextToDateTimeAcceptsTheProgramsFormsAndRejectsInvalidDates) {
  EXPECT_DOUBLE_EQ(textToDateTime("1899-12-30 12:00:00"), 0.5);
  EXPECT_DOUBLE_EQ(textToDateTime("1970.01.01 08:00:00"), 25569.0 + 8.0 / 24.0);
  EXPECT_DOUBLE_EQ(textToDateTime("2000/01/01 00:00:00"), 36526.0);
  EXPECT_DOUBLE_EQ(textToDateTime("1899-12-29 06:00:00"), -1.25);
  EXPECT_DOUBLE_EQ(textToDateTime("0100-01-01 00:00:00"), kInvalidDateTime);
  EXPECT_DOUBLE_EQ(textToDateTime("2024-02-29 23:59:59"), 45351.0 + 86399.0 / 86400.0);
  const char* invalid[] = {"2023-02-30 10:00:00",
                           "2023-02-29 10:00:00",
                           "1900-02-29 00:00:00",
                           "2023-13-01 00:00:00",
                           "2023-00-10 00:00:00",
                           "2023-01-01 24:00:00",
                           "2023-01-01 10:60:00",
                           "2023-01-01 10:00:60",
                           "",
                           "abc",
                           "2023-01-01",
                           "2023-01-01 10:00:00x",
                           "2023-01-01T10:00:00"};
  for (const char* text : invalid) EXPECT_EQ(textToDateTime(text), kInvalidDateTime) << text;
}

TEST(DateTimeText, FormatDateTimeJoinsDateAndTimeParts) {
  DateTime value = textToDateTime("2023-02-22 13:05:09");
  EXPECT_EQ(formatDateTime(value, "yyyy-MM-dd ", "HH:mm:ss"), "2023-02-22 13:05:09");
  EXPECT_EQ(formatDateTime(value, "yyyy-MM-dd ", "hh:mm:ss"), "2023-02-22 01:05:09");
  EXPECT_EQ(formatDateTime(value, "", "hh:mm:ss", true), "13:05:09");
  EXPECT_EQ(formatDateTime(value, "", "hh:mm:ss:042", true), "13:05:09:042");  // digits copied
  EXPECT_EQ(formatDateTime(value, "yyyy", ""), "2023");
  EXPECT_EQ(formatDateTime(1e10, "yyyy", "HH"), "");  // beyond the Automation date range
}

TEST_F(ComThread, ClockTextFallsBackToMidnightWhenTheStampIsNotADate) {
  // A count beyond the script's date range: the failure value's time of day,
  // still with the count's own last digits.
  EXPECT_EQ(formatClockText(9000000000000000123LL), "00:00:00:123");
  // A timestamp that would break out of the script literal is not run.
  EXPECT_EQ(timestampToDateTimeText("1');Timer=new Date(0);('", 0), "");
}
