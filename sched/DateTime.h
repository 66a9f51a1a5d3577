// Date-time arithmetic of the schedule: a double counting days since
// 1899-12-30, the fraction being the time of day, in local time. Pure
// functions, no Win32; safe on any thread.
#pragma once
#include <array>
#include <optional>
#include <string>

struct CalendarDateTime {
  int Year = 1899;  // 1 to 9999
  int Month = 12;   // 1 to 12
  int Day = 30;     // 1 to the month's length
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  int DayOfWeek = 6;  // 0 = Sunday ... 6 = Saturday; ignored by EncodeDateTime
};

// Day and month names as the user's locale gives them: full weekday names
// with index 0 = Sunday, abbreviated month names with index 0 = January.
struct DayMonthNames {
  std::array<std::string, 7> Days;
  std::array<std::string, 12> Months;
};

inline constexpr double kFirstDateTime = -693593.0;  // 0001-01-01 00:00
inline constexpr double kLastDateTime = 2958466.0;   // 10000-01-01 00:00, excluded
inline constexpr long long kMillisecondsPerDay = 86400000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1 to 12

// Whole days count towards the date, the fraction's magnitude is the time of
// day, also for negative values: -1.25 is 1899-12-29 06:00. The time of day is
// rounded to the millisecond but never past 23:59:59.999 of the same day.
// NaN, infinities and dates outside years 1 to 9999: no result.
std::optional<CalendarDateTime> DecodeDateTime(double value);

// The inverse; fields out of range (30 February, 24:00, year 0): no result.
std::optional<double> EncodeDateTime(const CalendarDateTime& parts);

// "dddd d mmm YYYY \xE0 hh:mm:ss" with the given names; empty for 0, NaN and
// any value DecodeDateTime does not take.
std::string FormatCaptureDateTime(double value, const DayMonthNames& names);
