// The change signal in one process: its named objects, the notices of a write,
// readers against writers, time-outs, abandoned and missing objects. Parties
// are separate TDataSynchronizer instances; where a party must hold the mutex
// while another waits, it does so on a thread of its own.
#include <gtest/gtest.h>

#include <thread>

#include "sched/ThreadSync.h"
#include "tests/win/SyncHelpers.h"

using namespace synctest;

namespace {
enum class Kind { Mutex, Event, Semaphore };

// Opens the name as the given kind; the last error tells why it failed.
bool OpensAs(Kind kind, const std::string& name) {
  HANDLE h = nullptr;
  switch (kind) {
    case Kind::Mutex: h = ::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()); break;
    case Kind::Event: h = ::OpenEventA(SYNCHRONIZE, FALSE, name.c_str()); break;
    case Kind::Semaphore: h = ::OpenSemaphoreA(SYNCHRONIZE, FALSE, name.c_str()); break;
  }
  UniqueHandle owner{h};
  return static_cast<bool>(owner);
}

struct Expected {
  const char* suffix;
  Kind kind;
};
const Expected kObjects[] = {
    {"_MutexNoWriter", Kind::Mutex},    {"_EventNoReader", Kind::Event},    {"_SemReadCount", Kind::Semaphore},
    {"_EventDataToRead0", Kind::Event}, {"_EventDataToRead1", Kind::Event}, {"_EventDataToRead2", Kind::Event},
    {"_EventDataToRead3", Kind::Event}, {"_EventDataToRead4", Kind::Event},
};

void Write(TDataSynchronizer& party) {
  ASSERT_TRUE(party.BeginWrite(2000));
  party.EndWrite();
}

// Leaves the mutex abandoned: a thread ends while it owns it. The next wait
// for it, and only that one, reports WAIT_ABANDONED.
void Abandon(const std::string& mutex) {
  MutexHolder dead(mutex, true);
  ASSERT_TRUE(dead.Held());
}
}  // namespace

TEST(SyncObjects, EightNamedObjectsOfTheirKindsInTheirInitialStates) {
  const std::string base = UniqueBaseName("objects");
  TDataSynchronizer sync(base, 0);
  for (const auto& object : kObjects) {
    const std::string name = base + object.suffix;
    for (Kind kind : {Kind::Mutex, Kind::Event, Kind::Semaphore}) {
      EXPECT_EQ(OpensAs(kind, name), kind == object.kind) << name << " as kind " << static_cast<int>(kind);
    }
  }
  EXPECT_EQ(TryMutexFromOtherThread(base + "_MutexNoWriter"), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(EventIsSet(base + "_EventNoReader"));
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(EventIsSet(DataEventName(base, i))) << i;

  // Count 0 and maximum 0x7FFFFFFF: the whole range fits, one more does not.
  UniqueHandle sem{::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, (base + "_SemReadCount").c_str())};
  LONG previous = -1;
  ASSERT_TRUE(::ReleaseSemaphore(sem.Get(), 0x7FFFFFFF, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_FALSE(::ReleaseSemaphore(sem.Get(), 1, nullptr));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
}

// Handles of this process: how many are open, and how many of them a child
// process would inherit.
struct HandleCounts {
  int open = 0, inheritable = 0;
};
HandleCounts CountHandles() {
  HandleCounts counts;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (!::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) continue;
    ++counts.open;
    if (flags & HANDLE_FLAG_INHERIT) ++counts.inheritable;
  }
  return counts;
}

TEST(SyncObjects, TheEightHandlesAreInheritable) {
  const std::string base = UniqueBaseName("inherit");
  const HandleCounts before = CountHandles();
  TDataSynchronizer sync(base, 0);
  const HandleCounts after = CountHandles();
  EXPECT_EQ(after.open - before.open, 8);
  EXPECT_EQ(after.inheritable - before.inheritable, 8);
}

TEST(SyncObjects, EmptyBaseNameGivesTheSyncPrefix) {
  TDataSynchronizer sync("", 4);
  for (const auto& object : kObjects) {
    EXPECT_TRUE(OpensAs(object.kind, std::string("Sync_") + object.suffix)) << object.suffix;
  }
}

TEST(SyncObjects, ObjectsLiveAsLongAsAPartyHoldsThem) {
  const std::string base = UniqueBaseName("life");
  {
    TDataSynchronizer sync(base, 0);
    EXPECT_TRUE(OpensAs(Kind::Mutex, base + "_MutexNoWriter"));
  }
  for (const auto& object : kObjects) EXPECT_FALSE(OpensAs(object.kind, base + object.suffix)) << object.suffix;
}

TEST(SyncWrite, WriteBySlotKSetsTheFourOtherEventsAndLeavesItsOwn) {
  for (int k = 0; k < 5; ++k) {
    for (bool ownSetBefore : {false, true}) {
      const std::string base = UniqueBaseName("write");
      TDataSynchronizer writer(base, k);
      if (ownSetBefore) SetNamedEvent(DataEventName(base, k));
      ASSERT_TRUE(writer.BeginWrite(2000));
      EXPECT_FALSE(MutexFreeForOthers(base + "_MutexNoWriter")) << "slot " << k;
      for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(EventIsSet(DataEventName(base, i)), ownSetBefore && i == k) << "during the write, event " << i;
      }
      writer.EndWrite();
      for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(EventIsSet(DataEventName(base, i)), i != k || ownSetBefore)
            << "slot " << k << " wrote, event " << i << ", own set before: " << ownSetBefore;
      }
      ExpectNoReaderInside(base);
    }
  }
}

TEST(SyncRead, WithoutNoticeFalseWithoutTouchingTheMutexOrTheCount) {
  const std::string base = UniqueBaseName("nonotice");
  TDataSynchronizer reader(base, 2);
  // If the reader waited for the abandoned mutex, the probe would see WAIT_OBJECT_0.
  Abandon(base + "_MutexNoWriter");
  EXPECT_FALSE(reader.BeginRead(50));
  EXPECT_EQ(TryMutexFromOtherThread(base + "_MutexNoWriter"), static_cast<DWORD>(WAIT_ABANDONED));
  ExpectNoReaderInside(base);
  EXPECT_FALSE(EventIsSet(DataEventName(base, 2)));
}

TEST(SyncThreads, TwoThreadsSharingOneInstanceExcludeEachOther) {
  // As the scheduler's threads do: the mutex belongs to the thread that
  // waited for it, so a write on one thread keeps a read on another out.
  const std::string base = UniqueBaseName("threads");
  TDataSynchronizer party(base, 0), peer(base, 1);
  Write(peer);
  ASSERT_TRUE(party.BeginWrite(2000));
  bool readDuringWrite = true;
  std::thread([&] { readDuringWrite = party.BeginRead(50); }).join();
  EXPECT_FALSE(readDuringWrite);
  party.EndWrite();
  EXPECT_TRUE(EventIsSet(DataEventName(base, 1)));
  EXPECT_TRUE(EventIsSet(DataEventName(base, 0))) << "the peer's notice is kept for the next read";
  bool readAfter = false;
  std::thread([&] {
    readAfter = party.BeginRead(2000);
    if (readAfter) party.EndRead();
  }).join();
  EXPECT_TRUE(readAfter);
  ExpectNoReaderInside(base);
}

TEST(SyncRead, MutexHeldPastTheLimitFailsTheReadAndKeepsTheNotice) {
  const std::string base = UniqueBaseName("held");
  TDataSynchronizer reader(base, 0), peer(base, 1);
  Write(peer);
  ASSERT_TRUE(EventIsSet(DataEventName(base, 0)));
  {
    // Held on another thread without a write, so nothing but the reader
    // itself can set its notice again.
    MutexHolder holder(base + "_MutexNoWriter");
    ASSERT_TRUE(holder.Held());
    EXPECT_FALSE(reader.BeginRead(50));
    EXPECT_TRUE(EventIsSet(DataEventName(base, 0))) << "the notice must be put back";
    EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 0);
    EXPECT_TRUE(EventIsSet(base + "_EventNoReader"));
  }
  ASSERT_TRUE(reader.BeginRead(2000)) << "the change is read in the next cycle";
  EXPECT_FALSE(EventIsSet(DataEventName(base, 0)));
  reader.EndRead();
  ExpectNoReaderInside(base);
}

TEST(SyncAbandoned, AbandonedMutexCountsAsHadInEveryOperation) {
  const std::string base = UniqueBaseName("abandoned");
  const std::string mutex = base + "_MutexNoWriter";
  TDataSynchronizer reader(base, 0), peer(base, 1);
  Write(peer);
  Abandon(mutex);
  ASSERT_TRUE(reader.BeginRead(2000));
  EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 1);
  Abandon(mutex);
  reader.EndRead();
  ExpectNoReaderInside(base);
  Abandon(mutex);
  ASSERT_TRUE(peer.BeginWrite(2000));
  EXPECT_FALSE(MutexFreeForOthers(mutex));
  peer.EndWrite();
  EXPECT_TRUE(EventIsSet(DataEventName(base, 0)));
  ExpectNoReaderInside(base);
}

TEST(SyncMissing, MutexNameTakenByAnEventLosesTheExclusionButNotTheNotices) {
  const std::string base = UniqueBaseName("nomutex");
  UniqueHandle squatter{::CreateEventA(nullptr, TRUE, TRUE, (base + "_MutexNoWriter").c_str())};
  TDataSynchronizer first(base, 1), second(base, 2);
  ASSERT_TRUE(first.BeginWrite(50));
  EXPECT_TRUE(second.BeginWrite(50)) << "a failed wait counts as had";
  second.EndWrite();
  first.EndWrite();
  EXPECT_TRUE(EventIsSet(DataEventName(base, 0)));
  EXPECT_TRUE(EventIsSet(DataEventName(base, 1)));
  EXPECT_TRUE(EventIsSet(DataEventName(base, 2)));
}

TEST(SyncMissing, OwnDataEventNameTakenByAMutexMakesEveryReadSucceed) {
  const std::string base = UniqueBaseName("noevent");
  UniqueHandle squatter{::CreateMutexA(nullptr, FALSE, DataEventName(base, 3).c_str())};
  TDataSynchronizer reader(base, 3), other(base, 2);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(reader.BeginRead(50)) << "read " << i << " without any write";
    reader.EndRead();
  }
  ExpectNoReaderInside(base);
  EXPECT_FALSE(other.BeginRead(50)) << "the other slots still wait for a notice";
}
