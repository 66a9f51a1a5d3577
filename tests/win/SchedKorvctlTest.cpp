// korvctl, the capture application's side of the schedule protocol, as the
// tests and a user run it: what it writes, what it prints, its exit codes.
// Uses the real schedule key and change-signal names.
#include <windows.h>
#include <gtest/gtest.h>

#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;
using namespace schedtest;

namespace {
class KorvctlTest : public ::testing::Test {
protected:
  void SetUp() override { CleanRegistry(); }
  void TearDown() override { CleanRegistry(); }

  // Exit code, with standard output and error in `output`.
  DWORD Run(const std::string& arguments, std::string& output) {
    RunningProgram program;
    const std::string path = folder.Path() + "out.txt";
    if (!StartKorvctl(program, arguments, path)) return 0xFFFFFFFF;
    const DWORD code = program.WaitExit(15000);
    output = Lines(path);
    return code;
  }
  // The console's line ends are CR LF; compare with LF only.
  static std::string Lines(const std::string& path) {
    std::string text = ReadFileText(path);
    std::erase(text, '\r');
    return text;
  }

  TempFolder folder{"korvctl"};
};
}  // namespace

TEST_F(KorvctlTest, WritesUnderTheLockAndNotifiesEveryOtherSlot) {
  TDataSynchronizer scheduler("KorvamoSyncExchange", 0), other("KorvamoSyncExchange", 3);
  std::string out;
  ASSERT_EQ(Run("schedule \"2031-05-04 03:02:01\" --minimised", out), 0u) << out;
  EXPECT_EQ(out, "written: state 0x02 (start minimised), next capture 2031-05-04 03:02:01\n");
  EXPECT_EQ(ReadRawValue(kStateValue).Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(StoredState(), 0x02u);
  CalendarDateTime when;
  when.Year = 2031, when.Month = 5, when.Day = 4, when.Hour = 3, when.Minute = 2, when.Second = 1;
  EXPECT_EQ(StoredDate(), *EncodeDateTime(when));
  ASSERT_TRUE(scheduler.Read(2000)) << "slot 0 got no notice";
  ASSERT_TRUE(other.Read(2000)) << "slot 3 got no notice";

  ASSERT_EQ(Run("--slot 3 suspend", out), 0u) << out;
  EXPECT_EQ(StoredState(), 0x03u);
  EXPECT_FALSE(other.Read(300)) << "a writer must not notify its own slot";
  ASSERT_TRUE(scheduler.Read(2000));

  ASSERT_EQ(Run("clear", out), 0u) << out;
  EXPECT_EQ(StoredDate(), 0.0);
  EXPECT_EQ(StoredState(), 0x03u) << "clear keeps the flags";
  ASSERT_EQ(Run("resume", out), 0u) << out;
  EXPECT_EQ(StoredState(), 0x02u);
  ASSERT_EQ(Run("in 60", out), 0u) << out;
  EXPECT_EQ(StoredState(), 0x00u) << "without --minimised bit 1 is cleared";
  EXPECT_GT(StoredDate(), LocalNow());
  EXPECT_LT(StoredDate(), LocalNow() + 61.0 / 86400);
}

TEST_F(KorvctlTest, StatusTellsStateDateAndWhoIsRunning) {
  WriteStateAndDate(0x103, 0.0);
  std::string out;
  ASSERT_EQ(Run("status", out), 0u) << out;
  EXPECT_EQ(out,
            "state: 0x03 (suspended, start minimised)\n"
            "next capture: none\n"
            "scheduler: not running\n"
            "capture application: not running\n");

  const CaptureAppRunning captureApp;
  WriteStateAndDate(0x00, 46027.75);
  ASSERT_EQ(Run("--slot 4 status", out), 0u) << out;
  EXPECT_NE(out.find("next capture: 2026-01-05 18:00:00\n"), std::string::npos) << out;
  EXPECT_NE(out.find("capture application: running\n"), std::string::npos) << out;
}

TEST_F(KorvctlTest, WatchPrintsTheStateAfterEachNotice) {
  // Kept open here, the objects (and a notice in them) outlive each korvctl.
  TDataSynchronizer keepAlive("KorvamoSyncExchange", 4);
  RunningProgram watcher;
  const std::string path = folder.Path() + "watch.txt";
  ASSERT_TRUE(StartKorvctl(watcher, "--slot 2 watch --for 3", path));
  // Notices set before the watcher opened its objects are kept: the order is free.
  ASSERT_EQ(RunKorvctl("schedule \"2030-01-01 00:00\""), 0u);
  ASSERT_TRUE(WaitFor([&] { return Lines(path).find("notice:") != std::string::npos; }, 6000)) << Lines(path);
  EXPECT_EQ(watcher.WaitExit(10000), 0u);
  EXPECT_EQ(Lines(path), "notice: state 0x00 (active), next capture 2030-01-01 00:00:00\n");
}

TEST_F(KorvctlTest, BadInputWritesNothingAndExitsWithTwo) {
  std::string out;
  for (const char* bad : {"", "launch", "--slot 0 status", "--slot 5 clear", "schedule \"2026-02-30 10:00\"",
                          "schedule tomorrow", "in soon", "clear --minimised", "status --verbose", "in 999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Run(bad, out), 2u) << out;
    EXPECT_EQ(out.rfind("korvctl: ", 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
  }
  EXPECT_FALSE(ScheduleKeyExists());
  ASSERT_EQ(Run("--help", out), 0u);
  EXPECT_NE(out.find("schedule \"YYYY-MM-DD HH:MM[:SS]\" [--minimised]"), std::string::npos) << out;
}

TEST_F(KorvctlTest, ALockNotHadWithinTwoSecondsWritesNothingAndExitsWithThree) {
  RunningProgram holder;
  ASSERT_TRUE(StartKorvctl(holder, "hold-lock 60"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000));
  // The four wait for the lock side by side.
  const char* blocked[] = {"clear", "suspend", "in 10", "status"};
  RunningProgram runs[4];
  const auto output = [&](int i) { return folder.Path() + "out" + std::to_string(i) + ".txt"; };
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(StartKorvctl(runs[i], blocked[i], output(i)));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(runs[i].WaitExit(15000), 3u) << blocked[i] << ": " << Lines(output(i));
  EXPECT_FALSE(ScheduleKeyExists());
  holder.Kill();
}

TEST_F(KorvctlTest, DurationsPastFortyNineDaysDoNotWrap) {
  // 4294968 s are 2^32 ms and 704 ms more: a 32-bit count ends them at once.
  RunningProgram watcher, holder;
  ASSERT_TRUE(StartKorvctl(watcher, "--slot 2 watch --for 4294968"));
  ASSERT_TRUE(StartKorvctl(holder, "--slot 3 hold-lock 4294968"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000));
  Idle(3000);
  EXPECT_EQ(watcher.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "watch --for ended";
  EXPECT_TRUE(WriteLockHeldElsewhere()) << "hold-lock gave the lock back";
  watcher.Kill();
  holder.Kill();
}
