#include "sched/LocalClock.h"

#include <windows.h>

namespace {
std::string LocaleText(LCID locale, LCTYPE item) {
  char buffer[80] = {};
  const int n = ::GetLocaleInfoA(locale, item, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer) : std::string();
}

DayMonthNames ReadNames() {
  const LCID locale = ::GetThreadLocale();
  DayMonthNames names;
  // The locale counts weekdays from Monday (SDAYNAME1); ours from Sunday.
  for (int i = 0; i < 7; ++i) names.Days[(i + 1) % 7] = LocaleText(locale, LOCALE_SDAYNAME1 + i);
  for (int i = 0; i < 12; ++i) names.Months[i] = LocaleText(locale, LOCALE_SABBREVMONTHNAME1 + i);
  return names;
}
}  // namespace

double LocalNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  CalendarDateTime parts;
  parts.Year = now.wYear;
  parts.Month = now.wMonth;
  parts.Day = now.wDay;
  parts.Hour = now.wHour;
  parts.Minute = now.wMinute;
  parts.Second = now.wSecond;
  parts.Millisecond = now.wMilliseconds;
  return EncodeDateTime(parts).value_or(0.0);
}

const DayMonthNames& UserDayMonthNames() {
  static const DayMonthNames names = ReadNames();
  return names;
}
