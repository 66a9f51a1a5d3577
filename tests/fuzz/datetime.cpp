// Date conversion and the capture-time text: for any 8-byte date-time, the
// text's time of day is a valid hh:mm:ss, and the day it names is the one
// that converting the decoded parts back and decoding again gives. The wait
// before a due test never exceeds its limit, is 0 exactly for a due date, and
// ends neither before the date nor noticeably after it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sched/DateTime.h"
#include "sched/DueWait.h"

namespace {
const DayMonthNames kNames = {{"D0", "D1", "D2", "D3", "D4", "D5", "D6"},
                              {"M1", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "M9", "M10", "M11", "M12"}};

[[noreturn]] void Fail(const char* what, double value, const std::string& text) {
  std::fprintf(stderr, "%s: value %.17g text '%s'\n", what, value, text.c_str());
  std::abort();
}

bool SameDayAndTime(const CalendarDateTime& a, const CalendarDateTime& b) {
  return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.DayOfWeek == b.DayOfWeek && a.Hour == b.Hour &&
         a.Minute == b.Minute && a.Second == b.Second && a.Millisecond == b.Millisecond;
}

void CheckValue(double value) {
  const std::string text = FormatCaptureDateTime(value, kNames);
  const auto parts = DecodeDateTime(value);
  if (!parts || value == 0.0) {
    if (!text.empty()) Fail("text for a value without a date", value, text);
    return;
  }
  const auto back = EncodeDateTime(*parts);
  if (!back) Fail("decoded parts do not encode", value, text);
  const auto again = DecodeDateTime(*back);
  if (!again || !SameDayAndTime(*parts, *again)) Fail("conversion back gives another day or time", value, text);

  // "Dw d Mm YYYY \xE0 hh:mm:ss"
  int weekday = -1, day = -1, month = -1, year = -1, hh = -1, mm = -1, ss = -1, used = 0;
  if (std::sscanf(text.c_str(), "D%d %d M%d %d \xE0 %2d:%2d:%2d%n", &weekday, &day, &month, &year, &hh, &mm, &ss,
                  &used) != 7 ||
      static_cast<size_t>(used) != text.size() || text.size() < 8) {
    Fail("text does not follow the pattern", value, text);
  }
  const std::string clock = text.substr(text.size() - 8);
  if (clock[2] != ':' || clock[5] != ':' || hh > 23 || mm > 59 || ss > 59 || hh < 0 || mm < 0 || ss < 0) {
    Fail("time of day is not a valid hh:mm:ss", value, text);
  }
  if (weekday != again->DayOfWeek || day != again->Day || month != again->Month || year != again->Year ||
      hh != again->Hour || mm != again->Minute || ss != again->Second) {
    Fail("text names another day than the conversion back", value, text);
  }
}

void CheckWait(double now, double date, bool suspended, std::uint32_t limit) {
  constexpr double kMsPerDay = static_cast<double>(kMillisecondsPerDay);
  const std::uint32_t wait = WaitBeforeDue(now, date, suspended, limit);
  const auto fail = [&](const char* what) {
    Fail(what, now,
         "date " + std::to_string(date) + " wait " + std::to_string(wait) + " limit " + std::to_string(limit) +
             (suspended ? " suspended" : ""));
  };
  if (wait > limit) fail("wait above its limit");
  const bool due = FallsDue(now, date, suspended);
  if (due && wait != 0) fail("a due date waits");
  if (!due && limit > 0 && wait == 0) fail("a date not due waits nothing");
  if (due) return;
  const auto after = [&](std::uint32_t ms) { return now + ms / kMsPerDay; };
  if (wait < limit && !FallsDue(after(wait), date, suspended)) fail("the wait ends before the date");
  // Far beyond the years a schedule can hold, one step of a double is longer
  // than the wait's limit, and "the first millisecond" has no meaning.
  const auto inRange = [](double v) { return v > kFirstDateTime && v < kLastDateTime; };
  if (!inRange(now) || !inRange(date)) return;
  if (wait >= 1 && FallsDue(after(wait - 1), date, suspended)) fail("the wait ends after the date");
}

void CheckParts(const std::uint8_t* data) {
  CalendarDateTime p;
  p.Year = (data[0] | data[1] << 8) % 10002;
  p.Month = data[2] % 14;
  p.Day = data[3] % 33;
  p.Hour = data[4] % 25;
  p.Minute = data[5] % 61;
  p.Second = data[6] % 61;
  p.Millisecond = (data[7] * 4) % 1001;
  const auto value = EncodeDateTime(p);
  if (!value) return;
  const auto parts = DecodeDateTime(*value);
  if (!parts || parts->Year != p.Year || parts->Month != p.Month || parts->Day != p.Day || parts->Hour != p.Hour ||
      parts->Minute != p.Minute || parts->Second != p.Second || parts->Millisecond != p.Millisecond) {
    Fail("encoded parts decode differently", *value, "");
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 8) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  CheckValue(value);
  CheckParts(data);
  if (size >= 16) {
    // A whole day plus a fraction made from the next bytes reaches every
    // time of day, also near midnight, more often than raw doubles do.
    std::int32_t whole;
    std::uint32_t fraction;
    std::memcpy(&whole, data + 8, sizeof whole);
    std::memcpy(&fraction, data + 12, sizeof fraction);
    const double day = static_cast<double>(whole % 3652060);
    const double time = static_cast<double>(fraction) / 4294967296.0;
    CheckValue(day < 0 ? day - time : day + time);
    // A date within about six days of `value`, in quarter milliseconds.
    const std::uint32_t limit = data[13] | data[14] << 8;
    CheckWait(value, value + whole / (4.0 * static_cast<double>(kMillisecondsPerDay)), data[12] & 1, limit);
  }
  return 0;
}
