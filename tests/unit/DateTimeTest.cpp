#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sched/DateTime.h"

namespace {
DayMonthNames FrenchNames() {
  return {{"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
          {"janv.", "f\xE9vr.", "mars", "avr.", "mai", "juin", "juil.", "ao\xFBt", "sept.", "oct.", "nov.",
           // clang-format off
           "d\xE9" "c."}};
  // clang-format on
}

std::string Shown(double value) {
  auto parts = DecodeDateTime(value);
  if (!parts) return "<none>";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d wd%d", parts->Year, parts->Month, parts->Day,
                parts->Hour, parts->Minute, parts->Second, parts->Millisecond, parts->DayOfWeek);
  return text;
}

double Days(int h, int m, int s, int ms = 0) { return (((h * 60.0 + m) * 60 + s) * 1000 + ms) / 86400000.0; }
}  // namespace

TEST(DateTime, DecodesKnownDaysAndWeekdays) {
  EXPECT_EQ(Shown(0.0), "1899-12-30 00:00:00.000 wd6");
  EXPECT_EQ(Shown(1.0), "1899-12-31 00:00:00.000 wd0");
  EXPECT_EQ(Shown(2.75), "1900-01-01 18:00:00.000 wd1");
  EXPECT_EQ(Shown(45658.0), "2025-01-01 00:00:00.000 wd3");
  EXPECT_EQ(Shown(46000.0 + Days(12, 34, 56, 789)), "2025-12-09 12:34:56.789 wd2");
  EXPECT_EQ(Shown(45351.0), "2024-02-29 00:00:00.000 wd4");
}

TEST(DateTime, NegativeDatesCountTheirFractionTowardsMidnight) {
  EXPECT_EQ(Shown(-1.25), "1899-12-29 06:00:00.000 wd5");
  EXPECT_EQ(Shown(-1.0), "1899-12-29 00:00:00.000 wd5");
  EXPECT_EQ(Shown(-0.5), "1899-12-30 12:00:00.000 wd6") << "between -1 and 0 the whole part is day 0";
  EXPECT_EQ(Shown(-36522.0 - Days(23, 59, 59)), "1800-01-01 23:59:59.000 wd3");
}

TEST(DateTime, DayEndNeverRoundsToMidnight) {
  EXPECT_EQ(Shown(45658.0 + Days(23, 59, 59) + 0.9996 / 86400.0), "2025-01-01 23:59:59.999 wd3");
  EXPECT_EQ(Shown(std::nextafter(45659.0, 0.0)), "2025-01-01 23:59:59.999 wd3");
  EXPECT_EQ(Shown(-2.0 - 86399.9996 / 86400.0), "1899-12-28 23:59:59.999 wd4");
  EXPECT_EQ(Shown(45658.0 + Days(12, 0, 0) + 0.0004 / 86400.0), "2025-01-01 12:00:00.000 wd3");
}

TEST(DateTime, OutsideYearsOneTo9999AndNonNumbersGiveNothing) {
  EXPECT_EQ(Shown(-693593.0), "0001-01-01 00:00:00.000 wd1");
  EXPECT_EQ(Shown(-693593.9), "0001-01-01 21:36:00.000 wd1");
  EXPECT_EQ(Shown(2958465.5), "9999-12-31 12:00:00.000 wd5");
  for (double bad : {-693594.0, 2958466.0, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(Shown(bad), "<none>") << "value " << bad;
  }
}

TEST(DateTime, EncodeTakesOnlyRealDatesAndTimes) {
  CalendarDateTime p;
  p.Year = 2024, p.Month = 2, p.Day = 29, p.Hour = 23, p.Minute = 59, p.Second = 59, p.Millisecond = 999;
  ASSERT_TRUE(EncodeDateTime(p).has_value());
  EXPECT_EQ(Shown(*EncodeDateTime(p)), "2024-02-29 23:59:59.999 wd4");
  p.Year = 1899, p.Month = 12, p.Day = 29, p.Hour = 6, p.Minute = 0, p.Second = 0, p.Millisecond = 0;
  EXPECT_EQ(EncodeDateTime(p).value_or(99), -1.25);
  // Days that are not in the calendar, and parts out of their range.
  const int rejected[][7] = {{2025, 2, 29, 0, 0, 0, 0}, {1900, 2, 29, 0, 0, 0, 0}, {0, 1, 1, 0, 0, 0, 0},
                             {10000, 1, 1, 0, 0, 0, 0}, {2025, 13, 1, 0, 0, 0, 0}, {2025, 4, 31, 0, 0, 0, 0},
                             {2025, 1, 1, 24, 0, 0, 0}, {2025, 1, 1, 0, 60, 0, 0}, {2025, 1, 1, 0, 0, 0, 1000},
                             {2025, 1, 0, 0, 0, 0, 0}};
  for (const auto& r : rejected) {
    p.Year = r[0], p.Month = r[1], p.Day = r[2], p.Hour = r[3], p.Minute = r[4], p.Second = r[5], p.Millisecond = r[6];
    EXPECT_FALSE(EncodeDateTime(p).has_value()) << "case " << (&r - rejected);
  }
}

// Also here, not only in the native fuzzer: the 32-bit program computes with
// the x87 unit, whose wider intermediates a native build never meets.
TEST(DateTime, RoundTripsAcrossTheWholeRange) {
  int failures = 0;
  for (double day = kFirstDateTime; day < kLastDateTime && failures < 5; day += 997.0) {
    for (double ms : {0.0, 1.0, 43200000.0, 86399999.0}) {
      const double value = (day < 0 ? day - ms / 86400000.0 : day + ms / 86400000.0);
      const auto parts = DecodeDateTime(value);
      if (!parts) {
        ADD_FAILURE() << "no result for " << value, ++failures;
        continue;
      }
      const auto back = EncodeDateTime(*parts);
      if (!back || Shown(*back) != Shown(value)) {
        ADD_FAILURE() << value << " -> " << Shown(value) << " -> " << (back ? Shown(*back) : "<none>");
        ++failures;
      }
    }
  }
}

TEST(CaptureText, FrenchNamesAndFixedPattern) {
  const DayMonthNames fr = FrenchNames();
  // clang-format off
  EXPECT_EQ(FormatCaptureDateTime(46000.0 + Days(8, 5, 3), fr), "mardi 9 d\xE9" "c. 2025 \xE0 08:05:03");
  // clang-format on
  EXPECT_EQ(FormatCaptureDateTime(45351.0 + Days(23, 59, 59, 999), fr), "jeudi 29 f\xE9vr. 2024 \xE0 23:59:59");
  // clang-format off
  EXPECT_EQ(FormatCaptureDateTime(-1.25, fr), "vendredi 29 d\xE9" "c. 1899 \xE0 06:00:00");
  // clang-format on
  EXPECT_EQ(FormatCaptureDateTime(-693593.0, fr), "lundi 1 janv. 0001 \xE0 00:00:00");
  EXPECT_EQ(FormatCaptureDateTime(std::nextafter(45659.0, 0.0), fr), "mercredi 1 janv. 2025 \xE0 23:59:59");
}

TEST(CaptureText, EmptyForNothingScheduledAndNonDates) {
  const DayMonthNames fr = FrenchNames();
  EXPECT_EQ(FormatCaptureDateTime(0.0, fr), "");
  EXPECT_EQ(FormatCaptureDateTime(-0.0, fr), "");
  EXPECT_EQ(FormatCaptureDateTime(std::numeric_limits<double>::quiet_NaN(), fr), "");
  EXPECT_EQ(FormatCaptureDateTime(std::numeric_limits<double>::infinity(), fr), "");
  EXPECT_EQ(FormatCaptureDateTime(1e18, fr), "");
  EXPECT_EQ(FormatCaptureDateTime(-1e18, fr), "");
}
