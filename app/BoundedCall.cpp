#include "app/BoundedCall.h"

#include <memory>

#include "app/Win32Handles.h"

namespace {
DWORD WINAPI RunJob(void* parameter) {
  const std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(parameter));
  // Nothing may cross the thread's entry.
  try {
    (*job)();
  } catch (...) {
  }
  return 0;
}
}  // namespace

bool RunWithin(DWORD Timeout, std::function<void()> Job) {
  std::unique_ptr<std::function<void()>> handedOver;
  try {
    handedOver = std::make_unique<std::function<void()>>(std::move(Job));
  } catch (...) {
  }
  if (handedOver) {
    UniqueHandle thread{::CreateThread(nullptr, 0, RunJob, handedOver.get(), 0, nullptr)};
    if (thread) {
      handedOver.release();  // the thread's now
      return ::WaitForSingleObject(thread.Get(), Timeout) == WAIT_OBJECT_0;
    }
    Job = std::move(*handedOver);
  }
  // No thread to be had: the job runs here, without a bound.
  try {
    Job();
  } catch (...) {
  }
  return true;
}
