#include "app/BoundedCall.h"

#include <memory>

#include "common/Win32Handles.h"

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
  // A copy goes to the thread; Job stays here in case no thread can be had.
  std::function<void()>* handedOver = nullptr;
  try {
    handedOver = new std::function<void()>(Job);
  } catch (...) {
  }
  if (handedOver) {
    const UniqueHandle thread{::CreateThread(nullptr, 0, RunJob, handedOver, 0, nullptr)};
    if (thread) return ::WaitForSingleObject(thread.Get(), Timeout) == WAIT_OBJECT_0;
    delete handedOver;
  }
  // No thread: the job runs here, without a bound.
  try {
    Job();
  } catch (...) {
  }
  return true;
}
