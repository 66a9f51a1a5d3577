#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sched/DueWait.h"

namespace {
constexpr double kMs = 1.0 / 86400000.0;
constexpr double kNow = 46000.5;  // 2025-12-09 12:00
}  // namespace

TEST(DueWait, FallsDueOnlyForADateAboveZeroNotSuspendedAndReached) {
  EXPECT_TRUE(FallsDue(kNow, kNow, false));
  EXPECT_TRUE(FallsDue(kNow, kNow - 1.0, false));
  EXPECT_FALSE(FallsDue(kNow, kNow + kMs, false));
  EXPECT_FALSE(FallsDue(kNow, kNow - 1.0, true)) << "suspended";
  EXPECT_FALSE(FallsDue(kNow, 0.0, false));
  EXPECT_FALSE(FallsDue(kNow, -1.25, false)) << "a negative date never falls due";
  EXPECT_FALSE(FallsDue(kNow, std::numeric_limits<double>::quiet_NaN(), false));
}

TEST(DueWait, ADateWithinTheLimitEndsTheWaitAtItsMillisecond) {
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 119.5 * kMs, false, 300), 120u);
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 298.5 * kMs, false, 300), 299u);
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 0.25 * kMs, false, 300), 1u) << "part of a millisecond rounds up";
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 99.5 * kMs, false, 258), 100u) << "the lock wait's limit";
  // Whatever the subtraction rounds to, the wait is the first whole
  // millisecond at which the date is reached.
  const auto after = [](std::uint32_t ms) { return kNow + ms / 86400000.0; };
  for (int ms = 1; ms < 300; ++ms) {
    for (double date : {kNow + ms * kMs, after(ms), std::nextafter(after(ms), 0.0), std::nextafter(after(ms), 1e9)}) {
      const std::uint32_t wait = WaitBeforeDue(kNow, date, false, 300);
      EXPECT_GE(after(wait), date) << ms << " ms ahead: the wait " << wait << " ends before the date";
      EXPECT_LT(after(wait - 1), date) << ms << " ms ahead: the wait " << wait << " ends after the date";
    }
  }
}

TEST(DueWait, ADueDateWaitsNothing) {
  EXPECT_EQ(WaitBeforeDue(kNow, kNow, false, 300), 0u);
  EXPECT_EQ(WaitBeforeDue(kNow, kNow - 1.0, false, 300), 0u);
}

TEST(DueWait, WithoutADateWithinTheLimitTheWaitKeepsItsLimit) {
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 300 * kMs, false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 1.0, false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 100 * kMs, true, 300), 300u) << "suspended";
  EXPECT_EQ(WaitBeforeDue(kNow, kNow - 1.0, true, 300), 300u) << "suspended, past";
  EXPECT_EQ(WaitBeforeDue(kNow, 0.0, false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(kNow, -1.25, false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(kNow, std::numeric_limits<double>::quiet_NaN(), false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(kNow, std::numeric_limits<double>::infinity(), false, 300), 300u);
  EXPECT_EQ(WaitBeforeDue(std::numeric_limits<double>::quiet_NaN(), kNow, false, 300), 300u) << "no clock";
  EXPECT_EQ(WaitBeforeDue(kNow, kNow + 50 * kMs, false, 0), 0u) << "a zero limit";
}
