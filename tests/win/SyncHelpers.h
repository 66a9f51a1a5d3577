// Support for the change-signal tests: a base name of its own per test (so the
// programs can run beside others), looks at the named objects from outside,
// and the same test program started again as a child party in a given role.
// A child's exit code is its number of failed checks.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/Win32Handles.h"
#include "tests/support/TestSupport.h"

namespace synctest {

// A base name no other test or program uses.
std::string UniqueBaseName(const char* hint);
std::string ObjectName(const std::string& base, const char* suffix);
std::string DataEventName(const std::string& base, int slot);

// States seen from outside, without changing them for good.
bool EventIsSet(const std::string& name);
using korvtest::SemaphoreCount;
// A zero-time wait for the mutex on another thread (released again when had):
// WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT, or WAIT_FAILED if it cannot be opened.
DWORD TryMutexFromOtherThread(const std::string& name);
inline bool MutexFreeForOthers(const std::string& name) {
  DWORD result = TryMutexFromOtherThread(name);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

// Holds a mutex on a thread of its own until Release, or abandons it (the
// thread ends while it owns the mutex).
class MutexHolder {
public:
  explicit MutexHolder(const std::string& name, bool abandon = false);
  ~MutexHolder() { Release(); }
  MutexHolder(const MutexHolder&) = delete;
  MutexHolder& operator=(const MutexHolder&) = delete;
  // True once the thread owns the mutex (or has abandoned it).
  bool Held() const;
  void Release();

private:
  UniqueHandle held_, release_, thread_;
  std::string name_;
  bool abandon_;
  static DWORD WINAPI Run(void* self);
};
// Sets an event that exists already (as the objects of a TDataSynchronizer).
void SetNamedEvent(const std::string& name);
// Expects the state left once every reader and writer is gone: count 0,
// "no reader" set, mutex free.
void ExpectNoReaderInside(const std::string& base);

// Child roles: a role is a function of the arguments after --child=<name>,
// returning its number of failures.
using ChildRole = int (*)(const std::vector<std::string>& args);
struct RegisterChildRole {
  RegisterChildRole(const char* name, ChildRole role);
};
// Starts this program again in the given role.
bool StartChild(korvtest::RunningProgram& child, const std::string& role, const std::vector<std::string>& args);

// Counts failed checks in a child and tells what they were on stderr.
class ChildChecks {
public:
  void Check(bool ok, const char* what, long actual = 0);
  int Failures() const { return failures_; }

private:
  int failures_ = 0;
};

// A manual-reset event under a name, through which a test and its children
// meet. Each side holds it from before the other side can set it until it is
// done, so that no setting is lost with the last handle.
class NamedEvent {
public:
  explicit NamedEvent(const std::string& name);
  void Set() const { ::SetEvent(event_.Get()); }
  bool Wait(DWORD timeoutMs) const { return event_ && ::WaitForSingleObject(event_.Get(), timeoutMs) == WAIT_OBJECT_0; }

private:
  UniqueHandle event_;
};

}  // namespace synctest
