// korvctl: speaks the capture application's side of the schedule protocol
// (slot 1 by default): reads and writes the schedule state under the change
// signal's lock and sends the change notice, as the capture application does.
// One thread; it holds the writer lock at most for the write itself (or for
// --hold / hold-lock, which tests use to play a slow or hung peer).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/KorvSchdMain.h"
#include "sched/CaptureApp.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"
#include "tools/korvctl/PeerCommand.h"

namespace {
constexpr DWORD kLockWait = 2000;
constexpr int kExitFailed = 1, kExitBadInput = 2, kExitLocked = 3;

int Locked() {
  std::fprintf(stderr, "korvctl: the schedule stayed locked by another party for 2 s; nothing was done\n");
  return kExitLocked;
}

struct Schedule {
  std::uint8_t State = 0;
  double StartupDate = 0.0;
};

Schedule ReadCurrent() {
  const StoredSchedule stored = ReadSchedule();
  return {stored.State.value_or(0), stored.StartupDate.value_or(0.0)};
}

void PrintSchedule(const char* lead, const Schedule& s) {
  std::printf("%sstate 0x%02X (%s), next capture %s\n", lead, s.State, DescribeState(s.State).c_str(),
              DescribeDate(s.StartupDate).c_str());
  std::fflush(stdout);
}

// A read lock without waiting for a change: this slot is ours alone, so
// raising its own notice first makes the read register at once.
TSyncLock ReadNow(TDataSynchronizer& sync, DWORD timeout) {
  sync.RaiseOwnNotice();
  return sync.Read(timeout);
}

// Milliseconds since it was made, in 64 bits, from the 32-bit tick counter
// (read at least once a minute, far more often than it wraps).
class ElapsedClock {
public:
  std::uint64_t Elapsed() {
    const DWORD now = ::GetTickCount();
    elapsed_ = AddTicks(elapsed_, last_, now);
    last_ = now;
    return elapsed_;
  }

private:
  DWORD last_ = ::GetTickCount();
  std::uint64_t elapsed_ = 0;
};

void SleepFor(std::uint64_t milliseconds) {
  ElapsedClock clock;
  for (std::uint64_t spent = 0; spent < milliseconds; spent = clock.Elapsed()) {
    ::Sleep(NextWait(milliseconds - spent, 60000));
  }
}

int Status(TDataSynchronizer& sync) {
  TSyncLock read = ReadNow(sync, kLockWait);
  if (!read) return Locked();
  const Schedule s = ReadCurrent();
  read.Release();
  std::printf("state: 0x%02X (%s)\n", s.State, DescribeState(s.State).c_str());
  std::printf("next capture: %s\n", DescribeDate(s.StartupDate).c_str());
  std::printf("scheduler: %s\n", ::FindWindowA(kWindowClassName, nullptr) ? "running" : "not running");
  std::printf("capture application: %s\n", CaptureAppNotRunning() ? "not running" : "running");
  return 0;
}

int Watch(TDataSynchronizer& sync, const PeerCommand& command) {
  ElapsedClock clock;
  for (;;) {
    DWORD wait = 1000;
    if (command.ForSeconds) {
      const std::uint64_t limit = DurationMilliseconds(*command.ForSeconds);
      const std::uint64_t spent = clock.Elapsed();
      if (spent >= limit) return 0;
      wait = NextWait(limit - spent, wait);
    }
    TSyncLock read = sync.Read(wait);
    if (!read) continue;
    const Schedule s = ReadCurrent();
    read.Release();
    PrintSchedule("notice: ", s);
  }
}

int Hold(TDataSynchronizer& sync, const PeerCommand& command) {
  const bool asWriter = command.Action == PeerAction::HoldLock;
  const TSyncLock held = asWriter ? sync.Write(kLockWait) : ReadNow(sync, kLockWait);
  if (!held) return Locked();
  std::printf("%s held\n", asWriter ? "write lock" : "read lock");
  std::fflush(stdout);
  SleepFor(DurationMilliseconds(command.Seconds));
  return 0;
}

int Write(TDataSynchronizer& sync, const PeerCommand& command) {
  // The new date is worked out before the lock, so bad input writes nothing.
  double when = 0.0;
  if (command.Action == PeerAction::Schedule) {
    when = *EncodeDateTime(command.When);
  } else if (command.Action == PeerAction::In) {
    const auto later = AddSeconds(LocalNow(), command.Seconds);
    if (!later) {
      std::fprintf(stderr, "korvctl: %lld seconds from now is not a date\n", command.Seconds);
      return kExitBadInput;
    }
    when = *later;
  }
  TSyncLock write;
  if (!command.NoNotice) {
    write = sync.Write(kLockWait);
    if (!write) return Locked();
  }
  Schedule s = ReadCurrent();
  switch (command.Action) {
    case PeerAction::Schedule:
    case PeerAction::In:
      s.StartupDate = when;
      s.State =
          static_cast<std::uint8_t>(command.Minimised ? (s.State | kStateMinimised) : (s.State & ~kStateMinimised));
      break;
    case PeerAction::Clear: s.StartupDate = 0.0; break;
    case PeerAction::Suspend: s.State |= kStateSuspended; break;
    case PeerAction::Resume: s.State &= static_cast<std::uint8_t>(~kStateSuspended); break;
    default: break;
  }
  const bool written = WriteSchedule(s.State, s.StartupDate);
  SleepFor(DurationMilliseconds(command.HoldSeconds));
  write.Release();
  if (!written) {
    std::fprintf(stderr, "korvctl: the schedule could not be written to the registry\n");
    return kExitFailed;
  }
  PrintSchedule("written: ", s);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const PeerParse parsed = ParsePeerCommand(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.Command) {
    std::fprintf(stderr, "korvctl: %s\n", parsed.Error.c_str());
    return kExitBadInput;
  }
  const PeerCommand& command = *parsed.Command;
  if (command.Action == PeerAction::Help) {
    std::fputs(PeerHelpText().c_str(), stdout);
    return 0;
  }
  TDataSynchronizer sync(kSyncBaseName, command.Slot);
  switch (command.Action) {
    case PeerAction::Status: return Status(sync);
    case PeerAction::Watch: return Watch(sync, command);
    case PeerAction::HoldLock:
    case PeerAction::HoldRead: return Hold(sync, command);
    default: return Write(sync, command);
  }
}
