#include "sched/ThreadSync.h"

#include <utility>

namespace {
// Only a time-out counts as failure: an abandoned mutex is acquired, and a wait
// on a missing handle fails at once, which the protocol treats as success.
bool Acquired(DWORD waitResult) { return waitResult != WAIT_TIMEOUT; }
}  // namespace

std::string TDataSynchronizer::ObjectName(const std::string& baseName, const char* suffix) {
  return (baseName.empty() ? std::string("Sync_") : baseName) + suffix;
}

TSyncLock::TSyncLock(TSyncLock&& other) noexcept : sync_(std::exchange(other.sync_, nullptr)), write_(other.write_) {}

TSyncLock& TSyncLock::operator=(TSyncLock&& other) noexcept {
  if (this != &other) {
    Release();
    sync_ = std::exchange(other.sync_, nullptr);
    write_ = other.write_;
  }
  return *this;
}

void TSyncLock::Release() noexcept {
  TDataSynchronizer* sync = std::exchange(sync_, nullptr);
  if (!sync) return;
  if (write_) {
    sync->EndWrite();
  } else {
    sync->EndRead();
  }
}

TDataSynchronizer::TDataSynchronizer(const std::string& BaseName, int Slot) : slot_(Slot) {
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  sa.lpSecurityDescriptor = nullptr;
  sa.bInheritHandle = TRUE;
  MutexNoWriter.Reset(::CreateMutexA(&sa, FALSE, ObjectName(BaseName, "_MutexNoWriter").c_str()));
  EventNoReader.Reset(::CreateEventA(&sa, TRUE, TRUE, ObjectName(BaseName, "_EventNoReader").c_str()));
  SemReadCount.Reset(::CreateSemaphoreA(&sa, 0, 0x7FFFFFFF, ObjectName(BaseName, "_SemReadCount").c_str()));
  for (int i = 0; i < kSlotCount; ++i) {
    const std::string suffix = "_EventDataToRead" + std::to_string(i);
    EventDataToRead[i].Reset(::CreateEventA(&sa, TRUE, FALSE, ObjectName(BaseName, suffix.c_str()).c_str()));
  }
}

TDataSynchronizer::~TDataSynchronizer() {
  MutexNoWriter.Reset();
  EventNoReader.Reset();
  SemReadCount.Reset();
  for (auto& event : EventDataToRead) event.Reset();
}

bool TDataSynchronizer::BeginRead(DWORD Timeout) {
  HANDLE notice = EventDataToRead[slot_].Get();
  if (!Acquired(::WaitForSingleObject(notice, Timeout))) return false;
  ::ResetEvent(notice);
  if (!Acquired(::WaitForSingleObject(MutexNoWriter.Get(), Timeout))) {
    // The notice was taken but the data cannot be read now: put it back so
    // that a later cycle reads the change instead of losing it.
    ::SetEvent(notice);
    return false;
  }
  LONG previous = 0;
  ::ReleaseSemaphore(SemReadCount.Get(), 1, &previous);
  if (previous == 0) ::ResetEvent(EventNoReader.Get());
  ::ReleaseMutex(MutexNoWriter.Get());
  return true;
}

void TDataSynchronizer::EndRead() {
  HANDLE both[2] = {MutexNoWriter.Get(), SemReadCount.Get()};
  ::WaitForMultipleObjects(2, both, TRUE, INFINITE);
  if (::WaitForSingleObject(SemReadCount.Get(), 0) == WAIT_TIMEOUT) {
    ::SetEvent(EventNoReader.Get());
  } else {
    ::ReleaseSemaphore(SemReadCount.Get(), 1, nullptr);
  }
  ::ReleaseMutex(MutexNoWriter.Get());
}

bool TDataSynchronizer::BeginWrite(DWORD Timeout) {
  HANDLE both[2] = {MutexNoWriter.Get(), EventNoReader.Get()};
  return Acquired(::WaitForMultipleObjects(2, both, TRUE, Timeout));
}

void TDataSynchronizer::EndWrite() {
  ::ReleaseMutex(MutexNoWriter.Get());
  for (int i = 0; i < kSlotCount; ++i) {
    if (i != slot_) ::SetEvent(EventDataToRead[i].Get());
  }
}
