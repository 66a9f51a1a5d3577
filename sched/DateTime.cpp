// Calendar conversions after the proleptic Gregorian "days from civil"
// algorithm, shifted so that day 0 is 1899-12-30 (a Saturday).
#include "sched/DateTime.h"

#include <cmath>

namespace {
constexpr long long kDaysFrom1970To1899 = -25569;  // 1899-12-30 counted from 1970-01-01

long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// A value of zero or more, with leading zeros up to `width` digits.
std::string Digits(int value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kLengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

std::optional<CalendarDateTime> DecodeDateTime(double value) {
  // Also rejects NaN, for which every comparison is false.
  if (!(value > kFirstDateTime - 1.0 && value < kLastDateTime)) return std::nullopt;
  const double whole = std::trunc(value);
  if (whole < kFirstDateTime) return std::nullopt;
  const double fraction = std::fabs(value - whole);
  long long ms = std::llround(fraction * static_cast<double>(kMillisecondsPerDay));
  // Rounding up the day's last half millisecond would give 24:00:00.
  if (ms >= kMillisecondsPerDay) ms = kMillisecondsPerDay - 1;

  const long long serial = static_cast<long long>(whole);
  CalendarDateTime parts;
  CivilFromDays(serial + kDaysFrom1970To1899, parts.Year, parts.Month, parts.Day);
  parts.DayOfWeek = static_cast<int>(((serial % 7) + 7 + 6) % 7);
  parts.Hour = static_cast<int>(ms / 3600000);
  parts.Minute = static_cast<int>(ms / 60000 % 60);
  parts.Second = static_cast<int>(ms / 1000 % 60);
  parts.Millisecond = static_cast<int>(ms % 1000);
  return parts;
}

std::optional<double> EncodeDateTime(const CalendarDateTime& p) {
  if (p.Year < 1 || p.Year > 9999 || p.Day < 1 || p.Day > DaysInMonth(p.Year, p.Month)) return std::nullopt;
  if (p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 || p.Second > 59 ||
      p.Millisecond < 0 || p.Millisecond > 999) {
    return std::nullopt;
  }
  const long long serial = DaysFromCivil(p.Year, p.Month, p.Day) - kDaysFrom1970To1899;
  const long long ms = ((p.Hour * 60LL + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond;
  const double time = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
  // Before day 0 the time of day counts away from zero, like the whole days.
  return serial < 0 ? static_cast<double>(serial) - time : static_cast<double>(serial) + time;
}

std::string FormatCaptureDateTime(double value, const DayMonthNames& names) {
  if (value == 0.0) return {};
  const auto parts = DecodeDateTime(value);
  if (!parts) return {};
  return names.Days[parts->DayOfWeek] + " " + std::to_string(parts->Day) + " " + names.Months[parts->Month - 1] + " " +
         Digits(parts->Year, 4) + " \xE0 " + Digits(parts->Hour, 2) + ":" + Digits(parts->Minute, 2) + ":" +
         Digits(parts->Second, 2);
}
