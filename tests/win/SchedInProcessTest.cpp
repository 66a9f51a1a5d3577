// TScheduler inside the test process, for what the real program cannot show
// from outside: the held-back thread, SetState against a peer's fresh write,
// a flag change that only destruction can write, the wake-up callback's end,
// and the cycle that ends at a date falling due within it. Uses the real
// schedule key and change-signal names.
#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>

#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"
#include "sched/ThreadWakeUp.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;
using namespace schedtest;

namespace {

class SchedInProcessTest : public ::testing::Test {
protected:
  void SetUp() override { CleanRegistry(); }
  void TearDown() override { CleanRegistry(); }
};

TEST_F(SchedInProcessTest, TextValuesAreNotTakenForNumbers) {
  // "1" as text is the bytes 0x31 0x00: read as a number, the suspended bit.
  WriteRawValue(kStateValue, REG_SZ, "1", 2);
  WriteRawValue(kStartupDateValue, REG_SZ, "4500000", 8);
  const StoredSchedule stored = ReadSchedule();
  EXPECT_TRUE(stored.KeyFound);
  EXPECT_FALSE(stored.State.has_value()) << static_cast<int>(stored.State.value_or(0));
  EXPECT_FALSE(stored.StartupDate.has_value());
  const std::uint32_t state = 6;
  WriteRawValue(kStateValue, REG_DWORD, &state, sizeof state);
  EXPECT_EQ(ReadSchedule().State.value_or(0xEE), 6u);
}

// Takes a notice left over from earlier writes, so the next wait sees only new ones.
void DrainNotice(TDataSynchronizer& peer) { peer.Read(0).Release(); }

struct WakeUps {
  std::atomic<int> calls{0};
  std::atomic<void*> sender{nullptr};
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  DWORD holdMs = 0;

  static void Code(void* object, void* sender) {
    auto* self = static_cast<WakeUps*>(object);
    self->sender = sender;
    self->inside = true;
    ::Sleep(self->holdMs);
    ++self->calls;
    self->finished = true;
  }
};

// Each wake-up's time and the date the scheduler holds then; at wake-up
// `writeAt` the peer writes a date `aheadMs` later, with its notice, so that
// the same cycle loads it and the next one holds it.
struct CycleLog {
  static constexpr int kSize = 12;
  int writeAt = 1;
  double aheadMs = 50;
  TDataSynchronizer* peer = nullptr;
  double written = 0;
  std::array<double, kSize> when{}, held{};
  std::atomic<int> calls{0};

  static void Code(void* object, void* sender) {
    auto* self = static_cast<CycleLog*>(object);
    const int n = self->calls;
    if (n >= kSize) return;
    self->when[n] = LocalNow();
    self->held[n] = static_cast<TScheduler*>(sender)->StartupDate();
    if (n == self->writeAt) {
      if (const TSyncLock write = self->peer->Write(5000)) {
        self->written = LocalNow() + self->aheadMs / 86400000.0;
        WriteSchedule(0, self->written);
      }
    }
    self->calls = n + 1;
  }
};
}  // namespace

TEST_F(SchedInProcessTest, ThreadIsHeldBackUntilReleasedAndWakesItsOwnerEveryCycleEvenSuspended) {
  WriteStateAndDate(0x01, LocalNow() - 1.0);
  WakeUps wakeUps;
  TScheduler scheduler(true);
  EXPECT_EQ(scheduler.State(), 0x01);
  EXPECT_NE(scheduler.ThreadID(), 0u);
  scheduler.SetOnWakeUp(&wakeUps, &WakeUps::Code);
  Idle(700);
  EXPECT_EQ(wakeUps.calls.load(), 0) << "the thread ran before it was released";

  scheduler.Resume();
  EXPECT_TRUE(WaitFor([&] { return wakeUps.calls >= 3; }, 5000)) << "calls: " << wakeUps.calls;
  EXPECT_EQ(wakeUps.sender.load(), &scheduler);
  EXPECT_NE(StoredDate(), 0.0) << "fired while suspended";
}

TEST_F(SchedInProcessTest, ClearingTheCallbackWaitsForTheCallUnderWay) {
  WakeUps wakeUps;
  wakeUps.holdMs = 400;
  TScheduler scheduler(false);
  scheduler.SetOnWakeUp(&wakeUps, &WakeUps::Code);
  ASSERT_TRUE(WaitFor([&] { return wakeUps.inside.load(); }, 5000));
  scheduler.ClearOnWakeUp();
  EXPECT_TRUE(wakeUps.finished) << "ClearOnWakeUp returned while the callback still ran";
  const int calls = wakeUps.calls;
  Idle(800);
  EXPECT_EQ(wakeUps.calls.load(), calls) << "called after clearing";
}

namespace {
DWORD WINAPI DestroyScheduler(void* scheduler) {
  delete static_cast<TScheduler*>(scheduler);
  return 0;
}
}  // namespace

// Destroyed without its owner's bounded end, with the callback held: the
// destruction returns, and the thread, released later, still has what it
// runs on.
TEST_F(SchedInProcessTest, DestructionWithTheCallbackHeldReturnsAndLeavesTheThreadWhatItUses) {
  HeldWakeUp held;
  auto* scheduler = new TScheduler(false);
  scheduler->SetOnWakeUp(&held, &HeldWakeUp::Code);
  ASSERT_TRUE(WaitFor([&] { return held.inside.load(); }, 5000));
  const DWORD start = ::GetTickCount();
  UniqueHandle destroying{::CreateThread(nullptr, 0, DestroyScheduler, scheduler, 0, nullptr)};
  ASSERT_TRUE(destroying);
  const bool returned = ::WaitForSingleObject(destroying.Get(), 30000) == WAIT_OBJECT_0;
  std::printf("destruction returned after %lu ms\n", ::GetTickCount() - start);
  ::SetEvent(held.release.Get());
  ASSERT_TRUE(returned) << "the destructor waits without a bound for a thread held in its callback";
  EXPECT_TRUE(WaitFor([&] { return held.finished.load(); }, 5000));
  EXPECT_EQ(StoredDate(), 0.0) << "the state was written on the way";
}

TEST_F(SchedInProcessTest, SetStateWritesBitZeroOnTheFreshStateAndNotifiesThePeers) {
  const double later = LocalNow() + 1.0;
  WriteStateAndDate(0x06, later);
  TDataSynchronizer peer(kSyncBaseName, 1);
  TScheduler scheduler(true);
  DrainNotice(peer);

  scheduler.SetState(0x06);
  EXPECT_FALSE(peer.Read(300)) << "the same state must write and signal nothing";

  // The tray passes the byte it holds with bit 0 flipped; only bit 0 is taken.
  WriteStateAndDate(0x16, later);
  scheduler.SetState(0x07);
  ASSERT_TRUE(peer.Read(2000)) << "no notice for the peer";
  EXPECT_EQ(StoredState(), 0x17u);
  EXPECT_EQ(StoredDate(), later);
  EXPECT_EQ(scheduler.State(), 0x17);
}

TEST_F(SchedInProcessTest, SuspendRightAfterAPeerWriteKeepsThePeersDate) {
  WriteStateAndDate(0x00, LocalNow() + 1.0);
  TScheduler scheduler(true);  // held: no reload can come first
  double peerDate = 0;
  const std::string when = LocalDateText(7200.0, &peerDate);
  ASSERT_EQ(RunKorvctl("schedule \"" + when + "\" --minimised"), 0u);
  EXPECT_NE(scheduler.StartupDate(), peerDate) << "reloaded before the suspend";

  scheduler.SetState(static_cast<std::uint8_t>(scheduler.State() ^ 1));
  EXPECT_EQ(StoredDate(), peerDate) << "the suspend overwrote the peer's date";
  EXPECT_EQ(StoredState(), 0x03u);
  EXPECT_EQ(scheduler.StartupDate(), peerDate);
  EXPECT_EQ(scheduler.NextCaptureText(), FormatCaptureDateTime(peerDate, UserDayMonthNames()));
}

TEST_F(SchedInProcessTest, AFlagChangeWithoutTheLockIsWrittenAtDestructionOnTheFreshState) {
  const double date = LocalNow() + 1.0;
  WriteStateAndDate(0x00, date);
  auto scheduler = std::make_unique<TScheduler>(true);
  RunningProgram holder;
  ASSERT_TRUE(StartKorvctl(holder, "hold-lock 120"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000));

  scheduler->SetState(0x01);
  EXPECT_EQ(scheduler->State(), 0x01) << "the new flags live in memory";
  EXPECT_EQ(StoredState(), 0x00u) << "written without the lock";

  // The peer writes other bits (without the protocol, as the lock is taken)
  // and then dies holding the lock, which leaves the mutex abandoned.
  WriteStateAndDate(0x24, date + 1.0);
  holder.Kill();
  scheduler.reset();
  EXPECT_EQ(StoredState(), 0x25u) << "bit 0 as asked, the other bits as the registry held them";
  EXPECT_EQ(StoredDate(), date + 1.0);
}

TEST_F(SchedInProcessTest, DestructionWithoutTheLockWritesNothing) {
  WriteStateAndDate(0x02, 0.0);
  auto scheduler = std::make_unique<TScheduler>(false);
  RunningProgram holder;
  ASSERT_TRUE(StartKorvctl(holder, "hold-lock 120"));
  ASSERT_TRUE(WaitFor(WriteLockHeldElsewhere, 5000));
  scheduler->SetState(0x03);
  WriteStateAndDate(0x40, 0.0);  // the hung peer's last word
  scheduler.reset();
  EXPECT_EQ(StoredState(), 0x40u);
  holder.Kill();
}

TEST_F(SchedInProcessTest, NextCaptureTextUsesTheLocaleNamesAndIsEmptyWithoutADate) {
  TScheduler idle(true);
  EXPECT_EQ(idle.NextCaptureText(), "");

  char monday[80] = {}, january[80] = {};
  ::GetLocaleInfoA(::GetThreadLocale(), LOCALE_SDAYNAME1, monday, sizeof monday);
  ::GetLocaleInfoA(::GetThreadLocale(), LOCALE_SABBREVMONTHNAME1, january, sizeof january);

  WriteStateAndDate(0x01, 46027.75);  // Monday 2026-01-05 18:00
  TScheduler scheduler(true);
  EXPECT_EQ(scheduler.NextCaptureText(), std::string(monday) + " 5 " + january + " 2026 \xE0 18:00:00");
}

TEST_F(SchedInProcessTest, ANegativeDateIsShownButNeverFallsDue) {
  WriteStateAndDate(0x00, -1.25);
  TScheduler scheduler(false);
  Idle(1000);
  EXPECT_EQ(StoredDate(), -1.25) << "a negative date was taken as due";
  EXPECT_EQ(scheduler.StartupDate(), -1.25);
  EXPECT_EQ(scheduler.NextCaptureText(), FormatCaptureDateTime(-1.25, UserDayMonthNames()));
}

TEST_F(SchedInProcessTest, ADateDueWithinTheNextCycleIsTestedAtItsDateNotAWholeIntervalLater) {
  CaptureAppRunning running;
  TDataSynchronizer peer(kSyncBaseName, 1);
  CycleLog log;
  log.peer = &peer;
  TScheduler scheduler(true);
  scheduler.SetOnWakeUp(&log, &CycleLog::Code);
  scheduler.Resume();
  ASSERT_TRUE(WaitFor([&] { return log.calls >= log.writeAt + 3; }, 10000)) << "calls: " << log.calls;
  scheduler.ClearOnWakeUp();
  ASSERT_NE(log.written, 0.0) << "the peer could not write";
  EXPECT_EQ(StoredDate(), 0.0) << "the date was not cleared";

  // The wake-ups after the write hold the date until the cycle that clears it.
  const int k = log.writeAt;
  int cleared = k + 1;
  while (cleared < log.calls && log.held[cleared] == log.written) ++cleared;
  ASSERT_GT(cleared, k + 1) << "the date was not loaded in the cycle of its notice";
  ASSERT_LT(cleared, log.calls) << "the date was never cleared";
  EXPECT_EQ(log.held[cleared], 0.0);
  // A whole interval always passes between the due test and the next
  // wake-up unless the date ends the wait: the cycle that cleared the date
  // began sooner than that after the write, whatever the machine's load adds.
  const double clearingCycleMs = (log.when[cleared - 1] - log.when[k]) * 86400000.0;
  EXPECT_LT(clearingCycleMs, 300.0) << "the cycle holding a date " << log.aheadMs
                                    << " ms ahead waited a whole interval";
}
