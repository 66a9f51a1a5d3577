#include <gtest/gtest.h>

#include "tools/korvctl/PeerCommand.h"

namespace {
PeerParse Parse(std::vector<std::string> args) { return ParsePeerCommand(args); }
std::string ErrorOf(std::vector<std::string> args) {
  PeerParse p = ParsePeerCommand(args);
  return p.Command ? "<accepted>" : p.Error;
}
}  // namespace

TEST(PeerCommand, CommandsWithTheirArgumentsAndOptions) {
  auto p = Parse({"schedule", "2026-12-24 18:30", "--minimised"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_EQ(p.Command->Action, PeerAction::Schedule);
  EXPECT_EQ(p.Command->Slot, 1);
  EXPECT_TRUE(p.Command->Minimised);
  EXPECT_EQ(p.Command->When.Day, 24);
  EXPECT_EQ(p.Command->When.Hour, 18);
  EXPECT_EQ(p.Command->When.Second, 0);

  p = Parse({"--slot", "4", "schedule", "2026-12-24", "18:30:15"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_EQ(p.Command->Slot, 4);
  EXPECT_EQ(p.Command->When.Second, 15);

  p = Parse({"in", "-30"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_EQ(p.Command->Seconds, -30);

  p = Parse({"watch", "--for", "5"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_EQ(p.Command->ForSeconds.value_or(-1), 5);

  p = Parse({"suspend", "--no-notice", "--slot", "2"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_TRUE(p.Command->NoNotice);
  EXPECT_EQ(p.Command->Slot, 2);

  p = Parse({"status", "--help"});
  ASSERT_TRUE(p.Command) << p.Error;
  EXPECT_EQ(p.Command->Action, PeerAction::Help);
}

TEST(PeerCommand, BadInputGetsOneLineAndNoCommand) {
  EXPECT_EQ(ErrorOf({}), "no command given (see --help)");
  EXPECT_EQ(ErrorOf({"launch"}), "unknown command 'launch' (see --help)");
  EXPECT_EQ(ErrorOf({"status", "--verbose"}), "unknown option '--verbose'");
  EXPECT_EQ(ErrorOf({"--slot", "0", "status"}), "slot '0' is not 1 to 4");
  EXPECT_EQ(ErrorOf({"--slot", "5", "status"}), "slot '5' is not 1 to 4");
  EXPECT_EQ(ErrorOf({"--slot", "12", "status"}), "slot '12' is not 1 to 4");
  EXPECT_EQ(ErrorOf({"status", "--slot"}), "--slot needs a number from 1 to 4");
  EXPECT_EQ(ErrorOf({"schedule", "2026-02-30 10:00"}), "'2026-02-30 10:00' is not a date \"YYYY-MM-DD HH:MM[:SS]\"");
  EXPECT_EQ(ErrorOf({"schedule"}), "schedule needs an argument (see --help)");
  EXPECT_EQ(ErrorOf({"in", "ten"}), "'ten' is not a number of seconds");
  EXPECT_EQ(ErrorOf({"in", "99999999999"}), "'99999999999' is not a number of seconds");
  EXPECT_EQ(ErrorOf({"clear", "now"}), "unexpected argument 'now'");
  EXPECT_EQ(ErrorOf({"clear", "--minimised"}), "--minimised goes with schedule or in");
  EXPECT_EQ(ErrorOf({"status", "--for", "3"}), "--for goes with watch");
  EXPECT_EQ(ErrorOf({"watch", "--for", "-3"}), "--for needs a number of seconds");
  EXPECT_EQ(ErrorOf({"status", "--no-notice"}), "--no-notice and --hold go with a command that writes");
  EXPECT_EQ(ErrorOf({"hold-lock", "-1"}), "'-1' is not a number of seconds");
}

TEST(PeerCommand, ScheduleDateFormIsStrict) {
  for (const char* bad :
       {"2026-12-24", "2026-12-24 18", "2026-12-24 24:00", "2026-12-24 18:60", "2026-12-24 18:30:60", "2026-1-24 18:30",
        "2026-12-24T18:30", "0000-01-01 00:00", "2026-12-24 18:30:5", "2026-12-24 18:30 ", "+026-12-24 18:30"}) {
    EXPECT_FALSE(ParseScheduleDate(bad).has_value()) << bad;
  }
  auto leap = ParseScheduleDate("2024-02-29 00:00:01");
  ASSERT_TRUE(leap.has_value());
  EXPECT_EQ(leap->Month, 2);
  EXPECT_EQ(leap->Second, 1);
}

TEST(PeerCommand, SecondsFromNowStayWithinTheCalendar) {
  EXPECT_EQ(AddSeconds(45658.0, 43200).value_or(-1), 45658.5);
  EXPECT_EQ(AddSeconds(45658.0, -86400).value_or(-1), 45657.0);
  EXPECT_FALSE(AddSeconds(2958465.9, 86400).has_value());
}

// The common words are checked in korvctl's own output (SchedKorvctlTest).
TEST(PeerCommand, StateAndDateInWords) {
  EXPECT_EQ(DescribeState(0x01), "suspended");
  EXPECT_EQ(DescribeState(0x32), "start minimised, other bits 0x30");
  EXPECT_EQ(DescribeDate(1e300), "not a date");
}

TEST(PeerCommand, DurationsPastFortyNineDaysAreCountedWhole) {
  EXPECT_EQ(DurationMilliseconds(4294968), 4294968000ull) << "2^32 ms and 704 ms more";
  EXPECT_EQ(DurationMilliseconds(10LL * 366 * 86400), 316224000000ull) << "the longest duration taken";
  EXPECT_EQ(DurationMilliseconds(0), 0u);
  EXPECT_EQ(NextWait(4294968000ull, 1000), 1000u);
  EXPECT_EQ(NextWait(4294968000ull, 60000), 60000u);
  EXPECT_EQ(NextWait(250, 1000), 250u);
  EXPECT_EQ(NextWait(0, 1000), 0u);
  // The tick counter wraps between two readings; the count goes on.
  EXPECT_EQ(AddTicks(4294967000ull, 0xFFFFFF00u, 0x00000100u), 4294967000ull + 0x200);
  EXPECT_EQ(AddTicks(7, 100, 100), 7u);
}
