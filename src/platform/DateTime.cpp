#include "platform/DateTime.h"

#include <cmath>
#include <ctime>

#include "platform/Text.h"

namespace tess {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// Day number of 1970-01-01.
constexpr int64_t kUnixEpochDay = 25569;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

bool HasCalendarDate(TDateTime v) { return !std::isnan(v) && v >= MinDateTime - 1 && v < MaxDateTime + 1; }

// Splits a value into a calendar day number and milliseconds into that day.
bool ToLinearMs(TDateTime v, int64_t& linear) {
  if (!HasCalendarDate(v)) return false;
  double whole = std::trunc(v);
  int64_t day = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(v - whole) * MSecsPerDay);
  linear = day * kMsPerDay + ms;
  return true;
}

TDateTime FromLinearMs(int64_t linear) {
  int64_t day = linear >= 0 ? linear / kMsPerDay : -((-linear + kMsPerDay - 1) / kMsPerDay);
  int64_t ms = linear - day * kMsPerDay;
  double frac = static_cast<double>(ms) / MSecsPerDay;
  return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return days[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  value = static_cast<double>(DaysFromCivil(year, unsigned(month), unsigned(day)) + kUnixEpochDay);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  value = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / MSecsPerDay;
  return true;
}

bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& value) {
  TDateTime date, time;
  if (!TryEncodeDate(p.year, p.month, p.day, date) ||
      !TryEncodeTime(p.hour, p.minute, p.second, p.millisecond, time))
    return false;
  value = date >= 0 ? date + time : date - time;
  return true;
}

bool DecodeDateTime(TDateTime value, DateTimeParts& parts) {
  parts = DateTimeParts{};
  int64_t linear;
  if (!ToLinearMs(value, linear)) return false;
  int64_t day = linear >= 0 ? linear / kMsPerDay : -((-linear + kMsPerDay - 1) / kMsPerDay);
  int64_t ms = linear - day * kMsPerDay;
  int y, m, d;
  CivilFromDays(day - kUnixEpochDay, y, m, d);
  if (y < 1 || y > 9999) return false;
  parts.year = y;
  parts.month = m;
  parts.day = d;
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return true;
}

int DayOfWeek(TDateTime value) {
  int64_t linear;
  if (!ToLinearMs(value, linear)) return 0;
  int64_t day = linear >= 0 ? linear / kMsPerDay : -((-linear + kMsPerDay - 1) / kMsPerDay);
  // 1899-12-30 was a Saturday (7).
  int64_t r = (day + 6) % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

TDateTime IncMilliSecond(TDateTime value, int64_t milliseconds) {
  int64_t linear;
  if (!ToLinearMs(value, linear)) return value + static_cast<double>(milliseconds) / MSecsPerDay;
  return FromLinearMs(linear + milliseconds);
}

std::u16string FormatDateTime(TDateTime value, bool withMilliseconds) {
  DateTimeParts p;
  DecodeDateTime(value, p);
  std::u16string s = PadNumber(p.year, 4) + u"/" + PadNumber(p.month, 2) + u"/" + PadNumber(p.day, 2) + u" " +
                     PadNumber(p.hour, 2) + u":" + PadNumber(p.minute, 2) + u":" + PadNumber(p.second, 2);
  if (withMilliseconds) s += u"." + PadNumber(p.millisecond, 3);
  return s;
}

TDateTime FileTimeToDateTime(uint64_t fileTime) {
  // 1601-01-01 is day -109205.
  int64_t ms = static_cast<int64_t>(fileTime / 10000);
  return FromLinearMs(ms - int64_t(109205) * kMsPerDay);
}

std::u16string LocalTimeNowText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[64];
  return FromUtf8(std::string_view(text, std::strftime(text, sizeof text, format, &local)));
}

}  // namespace tess
