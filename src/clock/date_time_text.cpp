#include "clock/date_time_text.h"

#include <windows.h>

#include <cstdio>

#include "../resources/resource_ids.h"
#include "common/automation.h"
#include "common/resources.h"
#include "common/system_api.h"
#include "script/script_host.h"

namespace ql {
namespace {

// Days from 1899-12-30 to the given civil date (proleptic Gregorian).
std::int64_t daysFromOleEpoch(int year, int month, int day) {
  // Howard Hinnant's days-from-civil, shifted from 1970-01-01 to 1899-12-30.
  std::int64_t y = year - (month <= 2 ? 1 : 0);
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

// Reads up to `maxDigits` decimal digits at `pos`; false when there is none.
bool readField(const Text& t, std::size_t& pos, int maxDigits, int& value) {
  int digits = 0;
  value = 0;
  while (pos < t.size() && digits < maxDigits && t[pos] >= '0' && t[pos] <= '9') {
    value = value * 10 + (t[pos++] - '0');
    ++digits;
  }
  return digits > 0;
}

bool expectOneOf(const Text& t, std::size_t& pos, const char* allowed) {
  if (pos >= t.size()) return false;
  for (const char* a = allowed; *a; ++a)
    if (t[pos] == *a) {
      ++pos;
      return true;
    }
  return false;
}

// A timestamp goes inside a quoted script literal; anything that could end
// the literal or the statement is refused rather than run.
bool isSafeScriptLiteral(const Text& text) {
  for (char c : text)
    if (c == '\'' || c == '\\' || c == '\r' || c == '\n') return false;
  return true;
}

Text scriptTimestampText(const Text& timestamp) {
  if (!isSafeScriptLiteral(timestamp)) return Text();
  ComInit com;
  ScriptHost engine = ScriptHost::create("ScriptControl", "JScript");
  if (engine.empty()) return Text();
  engine.executeStatement(loadTextResource(QL_RES_DATE_FORMAT_JS) + "\r\nvar Timer=new Date();Timer.setTime('" +
                          timestamp + "');");
  Text stamp = engine.evalText("Timer.format('yyyy-MM-dd hh:mm:ss')");
  engine.release();
  return stamp;
}

Text calendarTimestampText(const Text& timestamp, std::int32_t hourMode) {
  DateTime base = textToDateTime("1970.01.01 08:00:00");
  std::int32_t seconds = textToInt(timestamp);
  DateTime moment = base + seconds / 86400.0;
  std::int32_t twentyFour = (hourMode == 1 || hourMode == 2) ? hourMode - 1 : localeHourFormat();
  Text twelveText = formatDateTime(moment, "yyyy-MM-dd ", "hh:mm:ss", false);
  Text twentyFourText = formatDateTime(moment, "yyyy-MM-dd ", "HH:mm:ss", false);
  return twentyFour ? twentyFourText : twelveText;
}

}  // namespace

Text timestampToDateTimeText(const Text& timestamp, std::int32_t hourMode) {
  return timestamp.size() == 10 ? calendarTimestampText(timestamp, hourMode) : scriptTimestampText(timestamp);
}

Text formatClockText(UnixMillis millis) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(millis));
  Text stamp = timestampToDateTimeText(digits, 0);
  DateTime value = textToDateTime(stamp);
  Text pattern = Text("hh:mm:ss:") + rightText(digits, 3);
  return formatDateTime(value, Text(), pattern, true, 0);
}

std::int32_t localeHourFormat() {
  char buffer[4] = {};
  systemApi().GetLocaleInfoA(0, LOCALE_ITIME, buffer, sizeof buffer);
  return textToInt(Text(buffer, strnlen(buffer, sizeof buffer)));
}

DateTime textToDateTime(const Text& text) {
  std::size_t pos = 0;
  int year, month, day, hour, minute, second;
  if (!readField(text, pos, 4, year) || !expectOneOf(text, pos, "-./") || !readField(text, pos, 2, month) ||
      !expectOneOf(text, pos, "-./") || !readField(text, pos, 2, day) || !expectOneOf(text, pos, " ") ||
      !readField(text, pos, 2, hour) || !expectOneOf(text, pos, ":") || !readField(text, pos, 2, minute) ||
      !expectOneOf(text, pos, ":") || !readField(text, pos, 2, second) || pos != text.size())
    return kInvalidDateTime;
  // The Automation date range: 0100-01-01 to 9999-12-31.
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return kInvalidDateTime;
  double days = static_cast<double>(daysFromOleEpoch(year, month, day));
  double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
  // Before 1899-12-30 the Automation date counts the day backwards but the
  // time of day forwards: 1899-12-29 06:00 is -1.25.
  return days < 0 ? days - fraction : days + fraction;
}

Text formatDateTime(DateTime value, const Text& datePattern, const Text& timePattern, bool force24Hour,
                    std::int32_t locale) {
  auto& api = systemApi();
  SYSTEMTIME st = {};
  if (api.VariantTimeToSystemTime(value, &st) != 1) return Text();
  char date[50] = {};
  char time[50] = {};
  // An empty picture means that part is left out, not the locale's default form.
  if (!datePattern.empty())
    api.GetDateFormatA(static_cast<LCID>(locale), 0, &st, datePattern.c_str(), date, sizeof date);
  if (!timePattern.empty())
    api.GetTimeFormatA(static_cast<LCID>(locale), force24Hour ? TIME_FORCE24HOURFORMAT : 0, &st, timePattern.c_str(),
                       time, sizeof time);
  return Text(date, strnlen(date, sizeof date)) + Text(time, strnlen(time, sizeof time));
}

}  // namespace ql
