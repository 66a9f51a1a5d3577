// The scheduler thread: mirrors the schedule state from the registry, wakes
// its owner every cycle and starts the capture application when it is due.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// The owner's wake-up notification: receiving object plus code, called on the
// scheduler thread with the scheduler as sender.
using TWakeUpCode = void (*)(void* Object, void* Sender);

class TScheduler {
public:
  explicit TScheduler(bool CreateSuspended);
  ~TScheduler();
  TScheduler(const TScheduler&) = delete;
  TScheduler& operator=(const TScheduler&) = delete;

  // Object first, then code; clearing takes the code first, then the object.
  void SetOnWakeUp(void* Object, TWakeUpCode Code);
  void ClearOnWakeUp();

  std::uint8_t State() const { return state_.load(); }
  void SetState(std::uint8_t NewState);
  std::string NextCaptureText() const;

  DWORD ThreadID() const { return threadId_; }
  void SetPriority(int priority);

private:
  std::atomic<std::uint8_t> state_{0};
  DWORD threadId_ = 0;
};
