// Stress run of the change signal: three child processes, one party (slot)
// each, read and write from two threads with random short limits and holds.
// Counters in a named file mapping record overlaps and the version of the
// shared data that each party last knew; the test checks them at the end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "sched/ThreadSync.h"
#include "tests/win/SyncHelpers.h"

using namespace synctest;

namespace {
constexpr int kParties = 3;
constexpr int kThreads = 2;
constexpr int kIterations = 5000;  // per thread
// Bounds for a slow machine only; a run takes about 10 s under Wine.
constexpr DWORD kStartLimit = 60000;
constexpr DWORD kRunLimit = 240000;

struct Shared {
  volatile LONG writersInside, readersInside;
  volatile LONG writerOverlaps, readerOverlaps, countWrongInWrite, noReaderWrongInRead;
  volatile LONG data;  // version of the shared data: one more per write
  volatile LONG threadsDone;
  volatile LONG known[kParties];  // last version each party read or wrote
  volatile LONG reads[kParties], writes[kParties], failedReads[kParties], failedWrites[kParties];
};

class SharedMemory {
public:
  explicit SharedMemory(const std::string& base)
      : mapping_(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared),
                                      (base + "_TestShared").c_str())),
        view_(mapping_ ? static_cast<Shared*>(::MapViewOfFile(mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0))
                       : nullptr) {}
  ~SharedMemory() {
    if (view_) ::UnmapViewOfFile(view_);
  }
  Shared* operator->() const { return view_; }
  explicit operator bool() const { return view_ != nullptr; }

private:
  UniqueHandle mapping_;
  Shared* view_;
};

void RaiseTo(volatile LONG& target, LONG value) {
  LONG seen = target;
  while (seen < value) {
    LONG before = ::InterlockedCompareExchange(&target, value, seen);
    if (before == seen) return;
    seen = before;
  }
}

void Hold(std::minstd_rand& random) {
  if (random() % 2) ::Sleep(random() % 2);
}

struct Party {
  Party(const std::string& base, int slot)
      : base(base),
        slot(slot),
        sync(base, slot),
        shared(base),
        noReader(::OpenEventA(SYNCHRONIZE, FALSE, (base + "_EventNoReader").c_str())),
        count(::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE | SYNCHRONIZE, FALSE, (base + "_SemReadCount").c_str())) {}

  // Counted inside from just after BeginWrite to just before EndWrite.
  void Write(std::minstd_rand& random) {
    if (::InterlockedIncrement(&shared->writersInside) != 1) ::InterlockedIncrement(&shared->writerOverlaps);
    if (shared->readersInside != 0) ::InterlockedIncrement(&shared->writerOverlaps);
    Hold(random);
    // Inside a write nobody is registered and "no reader" is set.
    LONG previous = -1;
    if (!::ReleaseSemaphore(count.Get(), 1, &previous) || previous != 0 ||
        ::WaitForSingleObject(count.Get(), 0) != WAIT_OBJECT_0 ||
        ::WaitForSingleObject(noReader.Get(), 0) != WAIT_OBJECT_0) {
      ::InterlockedIncrement(&shared->countWrongInWrite);
    }
    RaiseTo(shared->known[slot], ::InterlockedIncrement(&shared->data));
    Hold(random);
    if (shared->readersInside != 0) ::InterlockedIncrement(&shared->writerOverlaps);
    ::InterlockedDecrement(&shared->writersInside);
  }

  void Read(std::minstd_rand& random) {
    ::InterlockedIncrement(&shared->readersInside);
    if (shared->writersInside != 0) ::InterlockedIncrement(&shared->readerOverlaps);
    // While a reader is inside, "no reader" stays reset.
    if (::WaitForSingleObject(noReader.Get(), 0) != WAIT_TIMEOUT) ::InterlockedIncrement(&shared->noReaderWrongInRead);
    RaiseTo(shared->known[slot], shared->data);
    Hold(random);
    if (shared->writersInside != 0) ::InterlockedIncrement(&shared->readerOverlaps);
    ::InterlockedDecrement(&shared->readersInside);
  }

  void Work(unsigned seed) {
    std::minstd_rand random(seed);
    for (int i = 0; i < kIterations; ++i) {
      const DWORD limit = random() % 8;
      const bool write = random() % 3 == 0;
      if (!(write ? sync.BeginWrite(limit) : sync.BeginRead(limit))) {
        ::InterlockedIncrement(&(write ? shared->failedWrites : shared->failedReads)[slot]);
        continue;
      }
      if (write) {
        Write(random);
        sync.EndWrite();
      } else {
        Read(random);
        sync.EndRead();
      }
      ::InterlockedIncrement(&(write ? shared->writes : shared->reads)[slot]);
    }
  }

  // Once nobody writes any more: read while a notice is pending.
  void ReadLast() {
    const std::string notice = DataEventName(base, slot);
    std::minstd_rand random(slot);
    for (int i = 0; i < 100000; ++i) {
      if (sync.BeginRead(0)) {
        Read(random);
        sync.EndRead();
      } else if (!EventIsSet(notice)) {
        return;
      } else {
        ::Sleep(1);  // the mutex was busy: the notice stays for the next try
      }
    }
  }

  std::string base;
  int slot;
  TDataSynchronizer sync;
  SharedMemory shared;
  UniqueHandle noReader, count;
};

// args: base slot seed
int StressParty(const std::vector<std::string>& args) {
  ChildChecks checks;
  Party party(args.at(0), std::stoi(args.at(1)));
  const unsigned seed = static_cast<unsigned>(std::stoul(args.at(2)));
  checks.Check(static_cast<bool>(party.shared) && party.noReader && party.count, "objects opened");
  if (checks.Failures()) return checks.Failures();
  const NamedEvent start(party.base + "_TestStart"), allDone(party.base + "_TestAllDone");
  checks.Check(start.Wait(kStartLimit), "start");
  // Both threads work, then wait until every thread of every party is done
  // and all at once read what is left to read, so their reads meet.
  std::thread threads[kThreads];
  bool phaseEnded[kThreads] = {};
  for (int t = 0; t < kThreads; ++t) {
    threads[t] = std::thread([&, t] {
      party.Work(seed * 31 + t);
      if (::InterlockedIncrement(&party.shared->threadsDone) == kParties * kThreads) allDone.Set();
      phaseEnded[t] = allDone.Wait(kRunLimit);
      party.ReadLast();
    });
  }
  for (auto& thread : threads) thread.join();
  for (bool ended : phaseEnded) checks.Check(ended, "every thread ended its work", party.shared->threadsDone);
  return checks.Failures();
}
RegisterChildRole stressParty("stress-party", StressParty);
}  // namespace

TEST(SyncStress, ThreePartiesOfTwoThreadsKeepExclusionAndAllReadTheLastWrite) {
  const std::string base = UniqueBaseName("stress");
  SharedMemory shared(base);
  ASSERT_TRUE(shared);
  // A party of its own on slot 4 keeps the objects for the final look.
  TDataSynchronizer observer(base, 4);
  const NamedEvent start(base + "_TestStart"), allDone(base + "_TestAllDone");

  korvtest::RunningProgram children[kParties];
  for (int slot = 0; slot < kParties; ++slot) {
    ASSERT_TRUE(StartChild(children[slot], "stress-party", {base, std::to_string(slot), std::to_string(7 + slot)}));
  }
  const auto began = std::chrono::steady_clock::now();
  start.Set();
  for (int slot = 0; slot < kParties; ++slot) {
    EXPECT_EQ(children[slot].WaitExit(kRunLimit), 0u) << "failed checks in party " << slot;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  EXPECT_EQ(shared->writerOverlaps, 0);
  EXPECT_EQ(shared->readerOverlaps, 0);
  EXPECT_EQ(shared->countWrongInWrite, 0);
  EXPECT_EQ(shared->noReaderWrongInRead, 0);
  LONG reads = 0, writes = 0, failedReads = 0, failedWrites = 0;
  for (int slot = 0; slot < kParties; ++slot) {
    EXPECT_EQ(shared->known[slot], shared->data) << "party " << slot << " missed the last write";
    // No exclusion was tried where a party never had the lock.
    EXPECT_GT(shared->reads[slot], 0) << "party " << slot << " never read";
    EXPECT_GT(shared->writes[slot], 0) << "party " << slot << " never wrote";
    reads += shared->reads[slot];
    writes += shared->writes[slot];
    failedReads += shared->failedReads[slot];
    failedWrites += shared->failedWrites[slot];
  }
  EXPECT_EQ(shared->data, writes);
  ExpectNoReaderInside(base);
  std::printf("stress: %.1f s, %ld reads, %ld writes, %ld reads and %ld writes not had in their limit\n", seconds,
              reads, writes, failedReads, failedWrites);
}
