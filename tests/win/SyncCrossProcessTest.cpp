// The change signal between processes: this test program started again as a
// child party (--child=<role> <base name>) that reads, writes or dies at given
// points, while the test plays the other party. The two sides meet through
// named events "<base>_Test<Step>"; a child's exit code is its failed checks.
#include <gtest/gtest.h>

#include "sched/ThreadSync.h"
#include "tests/win/SyncHelpers.h"

using namespace synctest;

namespace {
constexpr DWORD kStepLimit = 10000;

// Where the test and the reader-inside child meet; each side holds them from
// its start to its end.
struct Steps {
  explicit Steps(const std::string& base)
      : inside(base + "_TestInside"), leave(base + "_TestLeave"), left(base + "_TestLeft"), end(base + "_TestEnd") {}
  NamedEvent inside, leave, left, end;
};

// Writes as slot 2, which sets slot 1's notice, then enters as a reader on slot 1.
void WriteThenEnterAsReader(TDataSynchronizer& writer, TDataSynchronizer& reader, ChildChecks& checks) {
  checks.Check(writer.BeginWrite(kStepLimit), "child write");
  writer.EndWrite();
  checks.Check(reader.BeginRead(kStepLimit), "child read");
}

// Stays inside as a reader until told to leave; ends when told to, after
// checking that the test's write reached slot 1.
int ReaderInside(const std::vector<std::string>& args) {
  ChildChecks checks;
  const std::string& base = args.at(0);
  Steps steps(base);
  TDataSynchronizer reader(base, 1), writer(base, 2);
  WriteThenEnterAsReader(writer, reader, checks);
  steps.inside.Set();
  checks.Check(steps.leave.Wait(kStepLimit), "told to leave");
  reader.EndRead();
  steps.left.Set();
  checks.Check(steps.end.Wait(kStepLimit), "told to end");
  checks.Check(EventIsSet(DataEventName(base, 1)), "the test's write sets slot 1's notice");
  return checks.Failures();
}
RegisterChildRole readerInside("reader-inside", ReaderInside);

// Writes once as slot 1, then ends in the middle of a second write.
int DiesWriting(const std::vector<std::string>& args) {
  ChildChecks checks;
  TDataSynchronizer writer(args.at(0), 1);
  checks.Check(writer.BeginWrite(kStepLimit), "first write");
  writer.EndWrite();
  checks.Check(writer.BeginWrite(kStepLimit), "second write");
  return checks.Failures();  // the process ends holding the mutex
}
RegisterChildRole diesWriting("dies-writing", DiesWriting);

// Ends while registered as a reader.
int DiesReading(const std::vector<std::string>& args) {
  ChildChecks checks;
  const std::string& base = args.at(0);
  TDataSynchronizer reader(base, 1), writer(base, 2);
  WriteThenEnterAsReader(writer, reader, checks);
  return checks.Failures();
}
RegisterChildRole diesReading("dies-reading", DiesReading);

DWORD RunChild(korvtest::RunningProgram& child, const char* role, const std::string& base) {
  if (!StartChild(child, role, {base})) return STILL_ACTIVE;
  return child.WaitExit(2 * kStepLimit);
}
}  // namespace

TEST(SyncAcrossProcesses, OpeningTheObjectsOfAnotherProcessKeepsTheirStates) {
  const std::string base = UniqueBaseName("open");
  Steps steps(base);
  korvtest::RunningProgram child;
  ASSERT_TRUE(StartChild(child, "reader-inside", {base}));
  ASSERT_TRUE(steps.inside.Wait(kStepLimit));

  // Created by the child: a notice pending for slot 0 and one reader inside.
  TDataSynchronizer mine(base, 0);
  EXPECT_TRUE(EventIsSet(DataEventName(base, 0)));
  EXPECT_FALSE(EventIsSet(base + "_EventNoReader"));
  EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 1);
  ASSERT_TRUE(mine.BeginRead(kStepLimit)) << "the pending notice is seen by the first read";
  EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 2);
  mine.EndRead();
  // One reader has left; the last one inside still holds writers off.
  EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 1);
  EXPECT_FALSE(EventIsSet(base + "_EventNoReader")) << "the child is still inside";
  EXPECT_FALSE(mine.BeginWrite(50)) << "the child is reading";

  steps.leave.Set();
  ASSERT_TRUE(steps.left.Wait(kStepLimit));
  ExpectNoReaderInside(base);
  ASSERT_TRUE(mine.BeginWrite(kStepLimit));
  mine.EndWrite();
  steps.end.Set();
  EXPECT_EQ(child.WaitExit(kStepLimit), 0u) << "failed checks in the child";
}

TEST(SyncAcrossProcesses, MutexAbandonedByAnEndedWriterIsHadByTheNextParty) {
  const std::string base = UniqueBaseName("diewrite");
  TDataSynchronizer mine(base, 0);
  korvtest::RunningProgram child;
  ASSERT_EQ(RunChild(child, "dies-writing", base), 0u);

  ASSERT_TRUE(mine.BeginRead(kStepLimit)) << "notice of the first write, abandoned mutex counts as had";
  mine.EndRead();
  EXPECT_FALSE(EventIsSet(DataEventName(base, 0))) << "the unfinished write sent no notice";
  ExpectNoReaderInside(base);
  ASSERT_TRUE(mine.BeginWrite(kStepLimit));
  mine.EndWrite();
}

TEST(SyncAcrossProcesses, ReaderThatEndsInsideLeavesWritesTimingOut) {
  // Known limit of the protocol: nothing records which party registered, so
  // the count stays raised once a reader's process has ended.
  const std::string base = UniqueBaseName("dieread");
  TDataSynchronizer mine(base, 0);
  korvtest::RunningProgram child;
  ASSERT_EQ(RunChild(child, "dies-reading", base), 0u);
  EXPECT_EQ(SemaphoreCount(base + "_SemReadCount"), 1);
  EXPECT_FALSE(EventIsSet(base + "_EventNoReader"));
  EXPECT_FALSE(mine.BeginWrite(50));
  ASSERT_TRUE(mine.BeginRead(kStepLimit)) << "reads still go on";
  mine.EndRead();
  EXPECT_FALSE(mine.BeginWrite(50));
}
