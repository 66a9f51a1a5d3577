// Support for the change-signal tests, and their main: "--child=<role> args"
// runs a registered role instead of the tests.
#include "tests/win/SyncHelpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

namespace synctest {

std::string UniqueBaseName(const char* hint) {
  static LONG counter = 0;
  return std::string("KorvSyncTest_") + hint + "_" + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(::InterlockedIncrement(&counter));
}

std::string ObjectName(const std::string& base, const char* suffix) {
  return (base.empty() ? std::string("Sync_") : base) + suffix;
}

std::string DataEventName(const std::string& base, int slot) {
  return ObjectName(base, ("_EventDataToRead" + std::to_string(slot)).c_str());
}

bool EventIsSet(const std::string& name) {
  UniqueHandle event{::OpenEventA(SYNCHRONIZE, FALSE, name.c_str())};
  return event && ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

DWORD TryMutexFromOtherThread(const std::string& name) {
  DWORD result = WAIT_FAILED;
  std::thread other([&] {
    UniqueHandle mutex{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str())};
    if (!mutex) return;
    result = ::WaitForSingleObject(mutex.Get(), 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ::ReleaseMutex(mutex.Get());
  });
  other.join();
  return result;
}

MutexHolder::MutexHolder(const std::string& name, bool abandon)
    : held_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      release_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      name_(name),
      abandon_(abandon) {
  thread_.Reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

DWORD WINAPI MutexHolder::Run(void* self) {
  auto* holder = static_cast<MutexHolder*>(self);
  UniqueHandle mutex{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, holder->name_.c_str())};
  if (!mutex || ::WaitForSingleObject(mutex.Get(), 5000) == WAIT_TIMEOUT) return 1;
  ::SetEvent(holder->held_.Get());
  if (holder->abandon_) return 0;
  ::WaitForSingleObject(holder->release_.Get(), INFINITE);
  ::ReleaseMutex(mutex.Get());
  return 0;
}

bool MutexHolder::Held() const {
  if (::WaitForSingleObject(held_.Get(), 5000) != WAIT_OBJECT_0) return false;
  // An abandoned mutex is abandoned only once its owner has ended.
  return !abandon_ || ::WaitForSingleObject(thread_.Get(), 5000) == WAIT_OBJECT_0;
}

void MutexHolder::Release() {
  if (!thread_) return;
  ::SetEvent(release_.Get());
  ::WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
}

void SetNamedEvent(const std::string& name) {
  UniqueHandle event{::OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str())};
  ::SetEvent(event.Get());
}

void ExpectNoReaderInside(const std::string& base) {
  EXPECT_EQ(SemaphoreCount(ObjectName(base, "_SemReadCount")), 0);
  EXPECT_TRUE(EventIsSet(ObjectName(base, "_EventNoReader")));
  EXPECT_TRUE(MutexFreeForOthers(ObjectName(base, "_MutexNoWriter")));
}

NamedEvent::NamedEvent(const std::string& name) : event_(::CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}

namespace {
std::map<std::string, ChildRole>& Roles() {
  static std::map<std::string, ChildRole> roles;
  return roles;
}
}  // namespace

RegisterChildRole::RegisterChildRole(const char* name, ChildRole role) { Roles()[name] = role; }

bool StartChild(korvtest::RunningProgram& child, const std::string& role, const std::vector<std::string>& args) {
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string line = "\"" + std::string(self) + "\" --child=" + role;
  for (const auto& arg : args) line += " " + arg;
  return child.Start(line);
}

void ChildChecks::Check(bool ok, const char* what, long actual) {
  if (ok) return;
  ++failures_;
  std::fprintf(stderr, "child %lu: failed: %s (actual %ld)\n", ::GetCurrentProcessId(), what, actual);
}

}  // namespace synctest

int main(int argc, char** argv) {
  const char* prefix = "--child=";
  if (argc >= 2 && std::strncmp(argv[1], prefix, std::strlen(prefix)) == 0) {
    auto role = synctest::Roles().find(argv[1] + std::strlen(prefix));
    if (role == synctest::Roles().end()) {
      std::fprintf(stderr, "unknown child role %s\n", argv[1]);
      return 100;
    }
    return role->second(std::vector<std::string>(argv + 2, argv + argc));
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
