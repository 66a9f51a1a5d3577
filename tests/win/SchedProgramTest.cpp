// The real KorvSchd.exe with the schedule written by korvctl (the capture
// application's side of the protocol) and launches recorded by the KORV98.EXE
// stand-in. Uses the real schedule key and change-signal names.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "tests/win/ImportPatch.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;
using namespace schedtest;

namespace {
constexpr DWORD kSeveralCycles = 1500;
constexpr DWORD kLaunchWait = 10000;

class SchedProgramTest : public ::testing::Test {
protected:
  void SetUp() override { CleanRegistry(); }
  void TearDown() override { CleanRegistry(); }

  bool Start() { return program.Start(files.exe); }
  bool WaitLaunches(size_t count) {
    return WaitFor([&] { return files.Log().size() >= count; }, kLaunchWait);
  }

  SchedulerFolder files;
  SchedulerUnderTest program;
};
}  // namespace

TEST_F(SchedProgramTest, NoKeyStaysIdleAndTheKeyAppearsOnlyAtTheFirstSave) {
  ASSERT_TRUE(Start());
  Idle(kSeveralCycles);
  EXPECT_FALSE(ScheduleKeyExists()) << "loading must not create the key";
  EXPECT_EQ(program.Close(), 0u);
  EXPECT_TRUE(ScheduleKeyExists());
  EXPECT_EQ(StoredState(), 0u);
  EXPECT_EQ(StoredDate(), 0.0);
  EXPECT_EQ(ReadRawValue(kStateValue).Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(ReadRawValue(kStartupDateValue).Type, static_cast<DWORD>(REG_BINARY));
  EXPECT_TRUE(files.Log().empty());
}

TEST_F(SchedProgramTest, PastDateFiresOnceShownNormallyOrMinimisedAndIsClearedAndSaved) {
  for (DWORD state : {0x00u, 0x06u}) {
    SCOPED_TRACE(testing::Message() << "state " << state);
    SchedulerFolder here;
    WriteStateAndDate(state, LocalNow() - 1.0);
    SchedulerUnderTest scheduler;
    ASSERT_TRUE(scheduler.Start(here.exe));
    ASSERT_TRUE(WaitFor([&] { return !here.Log().empty(); }, kLaunchWait)) << "no launch";
    EXPECT_TRUE(WaitFor([] { return StoredDate() == 0.0; }, 2000)) << "date stored: " << StoredDate();
    EXPECT_EQ(StoredState(), state);
    Idle(kSeveralCycles);
    const auto log = here.Log();
    ASSERT_EQ(log.size(), 1u) << "launched more than once";
    EXPECT_EQ(log[0].Show, (state & 2) ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
    EXPECT_EQ(scheduler.Close(), 0u);
  }
}

TEST_F(SchedProgramTest, WithTheCaptureAppRunningNothingStartsButTheDateIsCleared) {
  CaptureAppRunning running;
  WriteStateAndDate(0, LocalNow() - 0.5);
  ASSERT_TRUE(Start());
  EXPECT_TRUE(WaitFor([] { return StoredDate() == 0.0; }, kLaunchWait)) << "date stored: " << StoredDate();
  Idle(kSeveralCycles);
  EXPECT_EQ(files.Log().size(), 0u);
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, RunningCheckThatFailsTakesTheCaptureAppAsRunning) {
  ASSERT_TRUE(Start());
  // The check only opens the mutex, and only "no such object" says that the
  // capture application does not run: an OpenMutexA that answers nothing
  // without saying so (a mutex this user may not open) starts nothing.
  ImportPatch openFindsNothing(program.program.Process(), program.program.ProcessId(), "KorvSchd.exe", "kernel32.dll",
                               "OpenMutexA", ReturnZero{12});
  ASSERT_EQ(openFindsNothing.Error(), "");
  CaptureAppRunning running;
  ASSERT_EQ(RunKorvctl("in -60"), 0u);
  EXPECT_TRUE(WaitFor([] { return StoredDate() == 0.0; }, kLaunchWait)) << "date stored: " << StoredDate();
  Idle(kSeveralCycles);
  EXPECT_EQ(files.Log().size(), 0u) << "started although it ran";
  openFindsNothing.Restore();
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, SuspendedKeepsTheDateAndFiresOnceThePeerResumes) {
  const double past = LocalNow() - 0.25;
  WriteStateAndDate(0x03, past);
  ASSERT_TRUE(Start());
  Idle(kSeveralCycles);
  EXPECT_EQ(files.Log().size(), 0u) << "fired while suspended";
  EXPECT_EQ(StoredDate(), past);

  ASSERT_EQ(RunKorvctl("resume"), 0u);
  ASSERT_TRUE(WaitLaunches(1)) << "no launch after resume";
  EXPECT_EQ(files.Log()[0].Show, SW_SHOWMINIMIZED);
  EXPECT_TRUE(WaitFor([] { return StoredDate() == 0.0; }, 2000)) << "date stored: " << StoredDate();
  EXPECT_EQ(StoredState(), 0x02u);
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, DateWrittenAheadWithANoticeStartsNotBeforeItIsDue) {
  ASSERT_TRUE(Start());
  double due = 0;
  const std::string when = LocalDateText(2.0, &due);
  ASSERT_EQ(RunKorvctl("schedule \"" + when + "\""), 0u);
  ASSERT_TRUE(WaitLaunches(1)) << "no launch for " << when;
  const auto log = files.Log();
  EXPECT_GE(log[0].When, due) << "started " << (due - log[0].When) * 86400000.0 << " ms early";
  std::printf("due %s, started %.0f ms later\n", when.c_str(), (log[0].When - due) * 86400000.0);
  EXPECT_TRUE(WaitFor([] { return StoredDate() == 0.0; }, 2000)) << "date stored: " << StoredDate();
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, WriteWithoutANoticeIsNotSeenUntilTheNextNotice) {
  ASSERT_TRUE(Start());
  Idle(600);
  ASSERT_EQ(RunKorvctl("in -60 --no-notice"), 0u);
  Idle(kSeveralCycles);
  EXPECT_EQ(files.Log().size(), 0u) << "a write without a notice was reloaded";
  EXPECT_LT(StoredDate(), LocalNow()) << "the quiet write must still be in the registry";

  ASSERT_EQ(RunKorvctl("resume"), 0u);  // any write with a notice
  EXPECT_TRUE(WaitLaunches(1)) << "the reload after the notice must see the date";
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, DateDueWhileThePeerHoldsTheLockIsNeitherLostNorLaunchedTwice) {
  // The date is loaded at start-up and due at once, while the peer holds the lock.
  WriteStateAndDate(0, LocalNow() - 1.0 / 86400);
  const double holdStart = LocalNow();
  RunningProgram holder;
  ASSERT_TRUE(StartKorvctl(holder, "hold-lock 6"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000)) << "korvctl did not take the lock";
  ASSERT_TRUE(Start());

  ASSERT_TRUE(WaitLaunches(1)) << "the due date was lost";
  EXPECT_EQ(holder.WaitExit(5000), 0u);
  EXPECT_GE(files.Log()[0].When, holdStart + 6.0 / 86400) << "launched while the peer held the lock";
  Idle(kSeveralCycles);
  EXPECT_EQ(files.Log().size(), 1u) << "launched twice";
  EXPECT_EQ(StoredDate(), 0.0);
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(SchedProgramTest, PeerDateWrittenJustBeforeTheDueTimeIsKept) {
  // The date falls due; the peer writes a new one in the same moment. The
  // due-time save reloads under the lock, so the new date survives.
  WriteStateAndDate(0, LocalNow() + 2.0 / 86400);
  ASSERT_TRUE(Start());
  double next = 0;
  const std::string when = LocalDateText(3600.0, &next);
  RunningProgram writer;
  ASSERT_TRUE(WaitFor([] { return LocalNow() >= StoredDate() - 0.3 / 86400; }, 5000));
  ASSERT_TRUE(StartKorvctl(writer, "schedule \"" + when + "\" --hold 2"));
  EXPECT_EQ(writer.WaitExit(10000), 0u);
  Idle(kSeveralCycles);
  EXPECT_EQ(StoredDate(), next) << "the peer's new date was overwritten";
  EXPECT_LE(files.Log().size(), 1u);
  EXPECT_EQ(program.Close(), 0u);
  EXPECT_EQ(StoredDate(), next) << "shutdown overwrote the peer's date";
}

TEST_F(SchedProgramTest, ValuesOfAWrongSizeAreNotTaken) {
  // An oversize "State" holding the suspended bit is not taken: the past date fires.
  const unsigned char longState[8] = {0x01, 0, 0, 0, 0, 0, 0, 0};
  WriteRawValue(kStateValue, REG_BINARY, longState, sizeof longState);
  const double past = LocalNow() - 1.0;
  WriteRawValue(kStartupDateValue, REG_BINARY, &past, sizeof past);
  ASSERT_TRUE(Start());
  EXPECT_TRUE(WaitLaunches(1)) << "an oversize State was taken";
  EXPECT_EQ(program.Close(), 0u);

  // Dates longer or shorter than 8 bytes are not taken: nothing fires, and
  // the save writes the date held in memory, 0.
  unsigned char longDate[12] = {};
  std::memcpy(longDate, &past, sizeof past);
  for (DWORD size : {12u, 4u, 7u}) {
    SCOPED_TRACE(testing::Message() << size << " bytes");
    CleanRegistry();
    SchedulerFolder here;
    WriteRawValue(kStartupDateValue, REG_BINARY, longDate, size);
    WriteRawValue(kStateValue, REG_BINARY, longState, 0);
    SchedulerUnderTest scheduler;
    ASSERT_TRUE(scheduler.Start(here.exe));
    Idle(kSeveralCycles);
    EXPECT_EQ(here.Log().size(), 0u);
    EXPECT_EQ(scheduler.Close(), 0u);
    EXPECT_EQ(StoredDate(), 0.0);
    EXPECT_EQ(StoredState(), 0u);
  }
}

TEST_F(SchedProgramTest, ShutdownSavesTheStateEvenWhenUnchangedWithoutTheBitsAboveBitSeven) {
  const unsigned char state[4] = {0x05, 0xFF, 0x01, 0};
  WriteRawValue(kStateValue, REG_BINARY, state, sizeof state);
  ASSERT_TRUE(Start());
  Idle(600);
  EXPECT_FALSE(ReadRawValue(kStartupDateValue).Found);
  EXPECT_EQ(program.Close(), 0u);
  EXPECT_EQ(ReadRawValue(kStateValue).Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(StoredState(), 0x05u);
  EXPECT_EQ(StoredDate(), 0.0);
}

TEST_F(SchedProgramTest, UnloadingEndsWithinFiveSecondsUnderAHungWriter) {
  ASSERT_TRUE(Start());
  RunningProgram holder;
  ASSERT_TRUE(StartKorvctl(holder, "hold-lock 120"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000));
  EXPECT_EQ(RunKorvctl("--slot 3 clear"), 3u) << "a second writer must give up with exit code 3";
  Idle(kSeveralCycles);
  EXPECT_EQ(program.Close(5000), 0u) << "not ended within 5 s";
  EXPECT_FALSE(ScheduleKeyExists()) << "written without the lock";
  holder.Kill();
}

TEST_F(SchedProgramTest, UnloadingEndsWithinFiveSecondsAfterAReaderDied) {
  ASSERT_TRUE(Start());
  {
    RunningProgram reader;
    ASSERT_TRUE(StartKorvctl(reader, "hold-read 120"));
    ASSERT_TRUE(WaitFor(ReaderInside, 5000));
    reader.Kill();
  }
  Idle(kSeveralCycles);
  EXPECT_TRUE(ReaderInside()) << "the dead reader's count stays raised";
  EXPECT_EQ(program.Close(5000), 0u) << "not ended within 5 s";
  EXPECT_FALSE(ScheduleKeyExists()) << "written without the lock";
}
