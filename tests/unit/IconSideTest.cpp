#include <gtest/gtest.h>

#include "app/IconSide.h"

// The monitor's size wins when the system gives one; a system that gives no
// size at all still gets an icon, and none larger than an icon image can be.
TEST(TrayIconSide, MonitorThenSystemThenSixteenNeverAboveTheLargestImage) {
  EXPECT_EQ(TrayIconSide(32, 16), 32);
  EXPECT_EQ(TrayIconSide(20, 24), 20);
  EXPECT_EQ(TrayIconSide(0, 24), 24);
  EXPECT_EQ(TrayIconSide(-1, 40), 40);
  EXPECT_EQ(TrayIconSide(0, 0), 16);
  EXPECT_EQ(TrayIconSide(0, -5), 16);
  EXPECT_EQ(TrayIconSide(1000, 16), 256);
  EXPECT_EQ(TrayIconSide(0, 300), 256);
}
