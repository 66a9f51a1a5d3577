// The scheduler thread: mirrors the schedule state from the registry, wakes
// its owner every cycle and starts the capture application when it is due.
// The owner's main thread constructs, destroys, calls SetState and reads the
// state; the scheduler thread runs the cycle and the wake-up callback. What
// the thread touches lives in a shared core that it keeps alive itself, so a
// thread that a hung peer holds past destruction never touches freed memory.
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
  // How long destruction waits for the cycle under way: one interval, three
  // bounded lock waits, the callback and a launch fit well within it.
  static constexpr DWORD kStopWait = 2500;

  // The thread is created held back and released at the end of construction,
  // unless CreateSuspended asks to keep it held until Resume.
  explicit TScheduler(bool CreateSuspended);
  ~TScheduler();
  TScheduler(const TScheduler&) = delete;
  TScheduler& operator=(const TScheduler&) = delete;

  // Object first, then code; clearing takes the code first, then the object,
  // and waits for a call under way, so none runs once it returns. The callback
  // must therefore not wait for the thread that clears it.
  void SetOnWakeUp(void* Object, TWakeUpCode Code);
  void ClearOnWakeUp();

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
  std::shared_ptr<SchedulerCore> core_;
  UniqueHandle thread_;
  DWORD threadId_ = 0;
  bool held_ = false;
};
