// Change signal: a reader/writer lock across processes with change notices,
// built from eight named kernel objects shared by up to five parties (slots).
// The capture application uses the same objects under the same base name.
//
// Known limit of the protocol: it keeps no record per party, so a party that
// dies while registered as a reader leaves the reader count raised, and every
// later BeginWrite of every party times out until all handles are closed.
// A party that dies holding the writer mutex leaves it abandoned; the next
// waiter gets it and carries on.
#pragma once
#include <windows.h>

#include <string>

#include "common/Win32Handles.h"

// The base name that the scheduler and the capture application share.
inline constexpr char kSyncBaseName[] = "KorvamoSyncExchange";

class TDataSynchronizer;

// A read or write lock of the change signal, held for the guard's life and
// ended by its destructor (or Release), on every way out. Empty when the
// wait for it timed out. Move-only.
class TSyncLock {
public:
  TSyncLock() = default;
  TSyncLock(TSyncLock&& other) noexcept;
  TSyncLock& operator=(TSyncLock&& other) noexcept;
  ~TSyncLock() { Release(); }
  TSyncLock(const TSyncLock&) = delete;
  TSyncLock& operator=(const TSyncLock&) = delete;

  explicit operator bool() const noexcept { return sync_ != nullptr; }
  // Ends the lock now: a writer's notices go out.
  void Release() noexcept;

private:
  friend class TDataSynchronizer;
  TSyncLock(TDataSynchronizer* sync, bool write) : sync_(sync), write_(write) {}

  TDataSynchronizer* sync_ = nullptr;
  bool write_ = false;
};

class TDataSynchronizer {
public:
  static constexpr int kSlotCount = 5;

  TDataSynchronizer(const std::string& BaseName, int Slot);
  ~TDataSynchronizer();
  TDataSynchronizer(const TDataSynchronizer&) = delete;
  TDataSynchronizer& operator=(const TDataSynchronizer&) = delete;

  // The guards: a lock held until the guard goes, empty on time-out.
  [[nodiscard]] TSyncLock Read(DWORD Timeout) { return {BeginRead(Timeout) ? this : nullptr, false}; }
  [[nodiscard]] TSyncLock Write(DWORD Timeout) { return {BeginWrite(Timeout) ? this : nullptr, true}; }

  // The protocol's primitives under the guards.
  // True: inside as a reader, EndRead must follow once.
  bool BeginRead(DWORD Timeout);
  void EndRead();
  // True: holds the writer mutex with no reader inside, EndWrite must follow once.
  bool BeginWrite(DWORD Timeout);
  void EndWrite();

  int Slot() const { return slot_; }
  static std::string ObjectName(const std::string& baseName, const char* suffix);
  // Sets this slot's own change notice, so that the next Read registers at
  // once instead of waiting for a writer.
  void RaiseOwnNotice() { ::SetEvent(EventDataToRead[slot_].Get()); }

private:
  UniqueHandle EventNoReader;
  UniqueHandle EventDataToRead[kSlotCount];
  UniqueHandle MutexNoWriter;
  UniqueHandle SemReadCount;
  int slot_;
};
