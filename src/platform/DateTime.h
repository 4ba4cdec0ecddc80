#pragma once
// Date-time values: days since 1899-12-30 00:00 as a double, the time of day as the
// fraction. Before 1899-12-30 the fraction is subtracted from the (negative) day number,
// so -1.25 is 1899-12-29 06:00.
#include <cstdint>
#include <string>

namespace tess {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
// 0001-01-01 and 9999-12-31: the range that has a calendar date.
constexpr double MinDateTime = -693593.0;
constexpr double MaxDateTime = 2958466.0;

struct DateTimeParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& value);
// Date plus time of day, with the fraction subtracted for days before 1899-12-30.
bool TryEncodeDateTime(const DateTimeParts& parts, TDateTime& value);
// The calendar fields of a value, rounded to the millisecond; false (and all zeros) for a
// value with no calendar date (before year 1, after 9999, or not a number).
bool DecodeDateTime(TDateTime value, DateTimeParts& parts);
// 1 = Sunday ... 7 = Saturday; 0 for a value with no calendar date.
int DayOfWeek(TDateTime value);
TDateTime IncMilliSecond(TDateTime value, int64_t milliseconds);

// "yyyy/mm/dd hh:nn:ss", with ".zzz" when withMilliseconds; zeros for a value with no date.
std::u16string FormatDateTime(TDateTime value, bool withMilliseconds = false);

// A count of 100 ns intervals since 1601-01-01 (a FILETIME) as a date-time value.
TDateTime FileTimeToDateTime(uint64_t fileTime);
// The computer's local time now, written by strftime's format (ASCII fields only).
std::u16string LocalTimeNowText(const char* format);

}  // namespace tess
