#include "sched/ThreadWakeUp.h"

#include <atomic>

#include "sched/CaptureApp.h"
#include "sched/DueWait.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"

namespace {
constexpr int kSchedulerSlot = 0;
constexpr int kNoUnwrittenFlag = -1;
// Bits 8-9 of SchedulerCore::Flags: bit 0 as SetState asked but could not write.
constexpr std::uint32_t kUnwrittenClear = 0x100, kUnwrittenSet = 0x200, kUnwrittenMask = 0x300;

class CriticalSection {
public:
  CriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

private:
  CRITICAL_SECTION section_;
};

class Locked {
public:
  explicit Locked(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~Locked() { section_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

private:
  CriticalSection& section_;
};
}  // namespace

struct SchedulerCore {
  const DWORD Interval = 300;
  // Low byte: the flag byte. Bits 8-9: bit 0 that SetState could not write,
  // for destruction to write; a reload drops it. One word, so that the flags
  // and that mark never disagree, whichever thread stores between the other's.
  std::atomic<std::uint32_t> Flags{0};
  std::atomic<double> StartupDate{0.0};
  TDataSynchronizer Synchronizer{kSyncBaseName, kSchedulerSlot};

  // The stop request and the protocol steps meet under StepLock: once the
  // request is raised, no step begins, and StepIdle tells when the one under
  // way has ended. A process that ends meanwhile then leaves no party's lock
  // raised and no cleared date unlaunched.
  CriticalSection StepLock;
  bool StopRequested = false;
  UniqueHandle StopEvent{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle StepIdle{::CreateEventA(nullptr, TRUE, TRUE, nullptr)};

  CriticalSection WakeUpLock;
  void* WakeUpObject = nullptr;
  TWakeUpCode WakeUpCode = nullptr;
  void* Sender = nullptr;
  // Signalled while no callback runs.
  UniqueHandle CallIdle{::CreateEventA(nullptr, TRUE, TRUE, nullptr)};

  void Run();
  void RequestStop();
  bool BeginStep();
  void EndStep() { ::SetEvent(StepIdle.Get()); }
  void Cycle(bool& stillDue);
  void WakeOwner();
  void LoadState();
  std::uint8_t State() const { return static_cast<std::uint8_t>(Flags.load() & 0xFF); }
  void SaveState() { WriteSchedule(State(), StartupDate.load()); }
  int TakeUnwrittenSuspend();
  bool IsDue(double now) const;
  DWORD WaitBeforeDueTest(DWORD limit, bool stillDue) const;
  bool ClearDueDateAndLaunch();
  void LaunchCapture();
  void WriteSuspendFlag(int bit);
};

void SchedulerCore::Run() {
  // A date already due when the thread begins, or still due after a due test
  // that could not have the lock, keeps the cycle's whole waits, as before.
  bool stillDue = IsDue(LocalNow());
  for (;;) {
    const DWORD pause = WaitBeforeDueTest(Interval, stillDue);
    const DWORD slept = ::WaitForSingleObject(StopEvent.Get(), pause);
    if (slept == WAIT_OBJECT_0) return;
    if (slept == WAIT_FAILED) ::Sleep(pause);
    WakeOwner();
    try {
      Cycle(stillDue);
    } catch (...) {
      // Out of memory (the launch's path): no launch this cycle; the next
      // cycle carries on, with its whole waits if the date is still due.
      EndStep();
      stillDue = IsDue(LocalNow());
    }
  }
}

void SchedulerCore::RequestStop() {
  Locked lock(StepLock);
  StopRequested = true;
  ::SetEvent(StopEvent.Get());
}

// False once the stop is requested: the step must not begin. Otherwise
// EndStep must follow.
bool SchedulerCore::BeginStep() {
  Locked lock(StepLock);
  if (StopRequested) return false;
  ::ResetEvent(StepIdle.Get());
  return true;
}

// The reload and the due test, each a step of the shared protocol; a cleared
// date is launched within the step that cleared it.
void SchedulerCore::Cycle(bool& stillDue) {
  if (!BeginStep()) return;
  if (const TSyncLock read = Synchronizer.Read(WaitBeforeDueTest(TScheduler::kLockTimeout, stillDue))) {
    LoadState();
  }
  EndStep();
  if (!IsDue(LocalNow())) {
    stillDue = false;
    return;
  }
  if (!BeginStep()) return;
  stillDue = !ClearDueDateAndLaunch();
  EndStep();
}

// A date in memory that comes due within a wait ends it at that date, so the
// due test follows at once; otherwise the wait keeps its limit.
DWORD SchedulerCore::WaitBeforeDueTest(DWORD limit, bool stillDue) const {
  const double date = StartupDate.load();
  if (stillDue || !(date > 0.0)) return limit;  // an idle cycle reads no clock
  return WaitBeforeDue(LocalNow(), date, (State() & kStateSuspended) != 0, limit);
}

void SchedulerCore::WakeOwner() {
  void* object = nullptr;
  TWakeUpCode code = nullptr;
  {
    Locked lock(WakeUpLock);
    object = WakeUpObject;
    code = WakeUpCode;
    if (code) ::ResetEvent(CallIdle.Get());
  }
  if (!code) return;
  try {
    code(object, Sender);
  } catch (...) {
    // The owner's refresh failed (out of memory): skipped this cycle.
  }
  ::SetEvent(CallIdle.Get());
}

// Replaces the flags with the registry's (or keeps them when it has none)
// and drops an unwritten suspend mark in the same store.
void SchedulerCore::LoadState() {
  const StoredSchedule stored = ReadSchedule();
  std::uint32_t old = Flags.load();
  while (!Flags.compare_exchange_weak(old, stored.State ? *stored.State : (old & 0xFF))) {
  }
  if (stored.StartupDate) StartupDate = *stored.StartupDate;
}

int SchedulerCore::TakeUnwrittenSuspend() {
  const std::uint32_t mark = Flags.fetch_and(0xFF) & kUnwrittenMask;
  if (mark == kUnwrittenSet) return 1;
  if (mark == kUnwrittenClear) return 0;
  return kNoUnwrittenFlag;
}

bool SchedulerCore::IsDue(double now) const {
  return FallsDue(now, StartupDate.load(), (State() & kStateSuspended) != 0);
}

// The date is cleared under the write lock and on what the registry holds
// now: a schedule the capture application has just written is never
// overwritten, and a date cleared by another party is never launched.
// False when the lock was not had: the next cycle tries again.
bool SchedulerCore::ClearDueDateAndLaunch() {
  TSyncLock write = Synchronizer.Write(TScheduler::kLockTimeout);
  if (!write) return false;
  LoadState();
  const bool cleared = IsDue(LocalNow());
  if (cleared) {
    StartupDate = 0.0;
    SaveState();
  }
  write.Release();
  if (cleared) LaunchCapture();
  return true;
}

void SchedulerCore::LaunchCapture() {
  if (!CaptureAppNotRunning()) return;
  LaunchProgram(CaptureAppPath(), (State() & kStateMinimised) ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
}

// Under the write lock: the other bits and the date as the registry holds
// them, bit 0 as asked.
void SchedulerCore::WriteSuspendFlag(int bit) {
  LoadState();
  if (bit != kNoUnwrittenFlag) {
    Flags = static_cast<std::uint8_t>((State() & ~kStateSuspended) | (bit ? kStateSuspended : 0));
  }
  SaveState();
}

namespace {
DWORD WINAPI SchedulerThread(void* parameter) {
  // Each cycle catches its own failures; nothing may cross this frame.
  try {
    static_cast<SchedulerCore*>(parameter)->Run();
  } catch (...) {
  }
  return 0;
}
}  // namespace

TScheduler::TScheduler(bool CreateSuspended) : core_(std::make_unique<SchedulerCore>()) {
  core_->Sender = this;
  core_->LoadState();
  UserDayMonthNames();  // read once, before the thread can ask
  thread_.Reset(::CreateThread(nullptr, 0, SchedulerThread, core_.get(), CREATE_SUSPENDED, &threadId_));
  if (!thread_) {
    threadId_ = 0;
    return;
  }
  held_ = true;
  if (!CreateSuspended) Resume();
}

TScheduler::~TScheduler() {
  if (Stop() || ::WaitForSingleObject(thread_.Get(), kStopWait) == WAIT_OBJECT_0) return;
  // Still held (a callback waiting on a hung peer): what the thread runs on
  // stays allocated for the process's life, and so must what the callback
  // uses: the owner ends the process rather than free it.
  static_cast<void>(core_.release());
  static_cast<void>(thread_.Release());
}

void TScheduler::RequestStop() {
  core_->RequestStop();
  Resume();
}

bool TScheduler::Stop(DWORD Wait) {
  if (!stopped_) {
    stopped_ = true;
    ClearOnWakeUp(0);
    RequestStop();
    if (thread_ && ::WaitForSingleObject(thread_.Get(), Wait) == WAIT_OBJECT_0) thread_.Reset();
    // A thread held elsewhere (in the callback) begins no step any more; one
    // under way is awaited, so that the process may end once this returns.
    if (thread_) ::WaitForSingleObject(core_->StepIdle.Get(), kStepWait);
    // Without the lock nothing is written: a peer may be writing right now.
    if (const TSyncLock write = core_->Synchronizer.Write(kLockTimeout)) {
      core_->WriteSuspendFlag(core_->TakeUnwrittenSuspend());
    }
  }
  return !thread_ || ::WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0;
}

void TScheduler::Resume() {
  if (held_ && thread_) ::ResumeThread(thread_.Get());
  held_ = false;
}

void TScheduler::SetOnWakeUp(void* Object, TWakeUpCode Code) {
  Locked lock(core_->WakeUpLock);
  core_->WakeUpObject = Object;
  core_->WakeUpCode = Code;
}

bool TScheduler::ClearOnWakeUp(DWORD Timeout) {
  {
    Locked lock(core_->WakeUpLock);
    core_->WakeUpCode = nullptr;
    core_->WakeUpObject = nullptr;
  }
  if (::GetCurrentThreadId() == threadId_) return true;  // called from the callback itself
  // Messages sent to this thread are still delivered, in case the callback
  // under way waits for one of them.
  HANDLE idle = core_->CallIdle.Get();
  const DWORD start = ::GetTickCount();
  for (;;) {
    const DWORD spent = ::GetTickCount() - start;
    const DWORD woken =
        ::MsgWaitForMultipleObjects(1, &idle, FALSE, spent < Timeout ? Timeout - spent : 0, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) return true;
    // Timed out, or the wait failed: nothing says that the call has ended.
    if (woken != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
}

std::uint8_t TScheduler::State() const { return core_->State(); }
double TScheduler::StartupDate() const { return core_->StartupDate.load(); }
DWORD TScheduler::Interval() const { return core_->Interval; }

void TScheduler::SetState(std::uint8_t NewState) {
  if (NewState == core_->State()) return;
  const int bit = (NewState & kStateSuspended) ? 1 : 0;
  core_->Flags = NewState | (bit ? kUnwrittenSet : kUnwrittenClear);
  const TSyncLock write = core_->Synchronizer.Write(kLockTimeout);
  if (!write) return;            // in memory only, until a reload or destruction
  core_->WriteSuspendFlag(bit);  // its reload drops the mark
}

std::string TScheduler::NextCaptureText() const {
  return FormatCaptureDateTime(core_->StartupDate.load(), UserDayMonthNames());
}

void TScheduler::SetPriority(int Priority) {
  if (thread_) ::SetThreadPriority(thread_.Get(), Priority);
}
