#include "app/BoundedCall.h"

#include <memory>
#include <utility>

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
  std::function<void()>* handedOver = nullptr;
  try {
    handedOver = new std::function<void()>(std::move(Job));
  } catch (...) {
    return false;
  }
  const UniqueHandle thread{::CreateThread(nullptr, 0, RunJob, handedOver, 0, nullptr)};
  if (thread) return ::WaitForSingleObject(thread.Get(), Timeout) == WAIT_OBJECT_0;
  // Not run here instead: the call could take without end what the bound
  // was for. The caller treats it as a bound hit.
  delete handedOver;
  return false;
}
