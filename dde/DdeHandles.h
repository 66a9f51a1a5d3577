// Owners for the DDEML handle kinds: the instance, string handles (which are
// freed on the instance that created them) and data handles, plus a guard for
// the pointer that DdeAccessData lends. Main thread only, like DDEML itself.
#pragma once
#include <windows.h>
#include <ddeml.h>

#include "common/Unique.h"

struct DdeInstanceTraits {
  using Type = DWORD;
  static Type Invalid() { return 0; }
  static void Close(Type id) { ::DdeUninitialize(id); }
};
using UniqueDdeInstance = Unique<DdeInstanceTraits>;

struct DdeStringRef {
  DWORD Instance = 0;
  HSZ Handle = nullptr;
  bool operator==(const DdeStringRef&) const = default;
};
struct DdeStringTraits {
  using Type = DdeStringRef;
  static Type Invalid() { return {}; }
  static void Close(Type s) {
    if (s.Handle) ::DdeFreeStringHandle(s.Instance, s.Handle);
  }
};
// A string handle that comes back zero is kept as zero, with its instance.
class UniqueDdeString : public Unique<DdeStringTraits> {
public:
  UniqueDdeString() = default;
  UniqueDdeString(DWORD instance, const char* text)
      : Unique<DdeStringTraits>(DdeStringRef{instance, ::DdeCreateStringHandleA(instance, text, CP_WINANSI)}) {}
  HSZ Handle() const { return Get().Handle; }
  // A creation that failed keeps its instance but has no handle.
  explicit operator bool() const noexcept { return Handle() != nullptr; }
};

struct DdeDataTraits {
  using Type = HDDEDATA;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DdeFreeDataHandle(h); }
};
using UniqueDdeData = Unique<DdeDataTraits>;

// DdeAccessData ... DdeUnaccessData; Data() is null when access failed.
class DdeDataAccess {
public:
  explicit DdeDataAccess(HDDEDATA data) : data_(data), bytes_(::DdeAccessData(data, &size_)) {}
  ~DdeDataAccess() {
    if (bytes_) ::DdeUnaccessData(data_);
  }
  DdeDataAccess(const DdeDataAccess&) = delete;
  DdeDataAccess& operator=(const DdeDataAccess&) = delete;
  const BYTE* Data() const { return bytes_; }
  DWORD Size() const { return size_; }

private:
  HDDEDATA data_;
  DWORD size_ = 0;
  BYTE* bytes_;
};
