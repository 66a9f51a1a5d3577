#include "sched/DueWait.h"

#include <algorithm>
#include <cmath>

#include "sched/DateTime.h"

bool FallsDue(double now, double startupDate, bool suspended) {
  return startupDate > 0.0 && !suspended && now >= startupDate;
}

std::uint32_t WaitBeforeDue(double now, double startupDate, bool suspended, std::uint32_t limit) {
  if (!(startupDate > 0.0) || suspended) return limit;
  if (now >= startupDate) return 0;
  constexpr double kMsPerDay = static_cast<double>(kMillisecondsPerDay);
  const double ms = std::ceil((startupDate - now) * kMsPerDay);
  // The subtraction rounds, by less than a millisecond: from the limit plus
  // one down, the first whole millisecond that reaches the date is sought.
  if (!(ms <= static_cast<double>(limit) + 1.0)) return limit;  // also a NaN `now`
  const auto reaches = [&](std::uint32_t wait) { return now + wait / kMsPerDay >= startupDate; };
  auto wait = static_cast<std::uint32_t>(std::min(ms, static_cast<double>(limit)));
  while (wait < limit && !reaches(wait)) ++wait;
  while (wait > 1 && reaches(wait - 1)) --wait;
  return wait;
}
