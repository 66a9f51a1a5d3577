// The scheduler thread: mirrors the schedule state from the registry, wakes
// its owner every cycle and starts the capture application when it is due.
// The owner's main thread constructs, stops, destroys, calls SetState and
// reads the state; the scheduler thread runs the cycle and the wake-up
// callback. What the thread touches is freed only after the thread has ended:
// Stop tells when it did not end in time, and the owner then ends the process
// rather than free anything under it. Once the stop is requested the thread
// begins no step of the shared protocol (a read, the clearing of a due date
// with its launch), so that a process ended then leaves no party's lock
// raised and no cleared date unlaunched.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "common/Win32Handles.h"

// The owner's wake-up notification: receiving object plus code, called on the
// scheduler thread with the scheduler as sender.
using TWakeUpCode = void (*)(void* Object, void* Sender);

struct SchedulerCore;

class TScheduler {
public:
  static constexpr DWORD kLockTimeout = 258;
  // How long stopping waits for the thread to end: once the stop is
  // requested it ends the step under way (two bounded lock waits and a
  // launch) and begins none.
  static constexpr DWORD kStopWait = 1500;
  // How long stopping waits, for a thread that has not ended (held in the
  // callback), until no step is under way.
  static constexpr DWORD kStepWait = 1000;

  // The thread is created held back and released at the end of construction,
  // unless CreateSuspended asks to keep it held until Resume.
  explicit TScheduler(bool CreateSuspended);
  // Stops what Stop has not, and waits kStopWait more for a thread that Stop
  // could not end. Past that, the thread and what it runs on are left as
  // they are (never freed under it): the owner must then end the process
  // rather than free what the callback uses.
  ~TScheduler();
  TScheduler(const TScheduler&) = delete;
  TScheduler& operator=(const TScheduler&) = delete;

  // How long clearing the callback waits for a call under way at unload: a
  // refresh takes milliseconds unless the shell it talks to hangs.
  static constexpr DWORD kWakeUpWait = 1000;

  // Object first, then code; clearing takes the code first, then the object,
  // and waits up to Timeout ms for a call under way. True when none runs any
  // more; false when one is still under way (held by a hung peer) or the
  // wait failed, and it may then go on using what it was given. The callback
  // must not wait for the thread that clears it.
  void SetOnWakeUp(void* Object, TWakeUpCode Code);
  bool ClearOnWakeUp(DWORD Timeout = kWakeUpWait);

  // Asks the thread to end: from the return on, it begins no protocol step.
  // Any number of times; raise it before the first bounded step of an end.
  void RequestStop();
  // Requests the stop, waits up to Wait ms for the thread to end (if it has
  // not, up to kStepWait more until no step is under way), then writes the
  // state when the lock can be had. True when the thread has ended. Once
  // only; the callback should be cleared first.
  bool Stop(DWORD Wait = kStopWait);

  std::uint8_t State() const;
  double StartupDate() const;
  DWORD Interval() const;
  // Bit 0 as asked, written with the other bits as the registry holds them.
  void SetState(std::uint8_t NewState);
  // The next start date as display text; empty when nothing is scheduled.
  std::string NextCaptureText() const;

  DWORD ThreadID() const { return threadId_; }
  void SetPriority(int Priority);
  void Resume();

private:
  std::unique_ptr<SchedulerCore> core_;
  UniqueHandle thread_;
  DWORD threadId_ = 0;
  bool held_ = false;
  bool stopped_ = false;
};
