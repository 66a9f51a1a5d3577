#include <gtest/gtest.h>

#include <cstdint>

#include "common/TickCount.h"

// The 32-bit count wraps every 49.7 days; the 64-bit one goes on.
TEST(ExtendTickCount, KeepsTheHighPartAndCountsEachWrap) {
  EXPECT_EQ(ExtendTickCount(0, 0), 0u);
  EXPECT_EQ(ExtendTickCount(0, 1234), 1234u);
  EXPECT_EQ(ExtendTickCount(1234, 1234), 1234u);
  EXPECT_EQ(ExtendTickCount(0xFFFFFF00u, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(ExtendTickCount(0xFFFFFF00u, 5), 0x100000005u);
  EXPECT_EQ(ExtendTickCount(0x100000005u, 10), 0x10000000Au);
  EXPECT_EQ(ExtendTickCount(0x2FFFFFFF0u, 3), 0x300000003u);
}
