// The real KorvSchd.exe when what it relies on fails under it: memory runs
// out (its malloc import answers nothing for a while), the shell's tray
// stops answering. It carries on, or ends when asked, as it does otherwise.
// Uses the real work folder, tray, schedule key and Run value.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "res/resource.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"
#include "sched/ThreadWakeUp.h"
#include "tests/support/TestSupport.h"
#include "tests/win/FakeTray.h"
#include "tests/win/ImportPatch.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
// Every text of a box: its caption and the texts of its children.
std::string BoxTexts(HWND box) {
  std::string texts = WindowText(box);
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    texts += " | " + WindowText(child);
  }
  return texts;
}

// The change signal's object of that role, under the name every party uses.
std::string SyncObject(const char* suffix) { return TDataSynchronizer::ObjectName(kSyncBaseName, suffix); }

class ProgramFailureTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    workPath.Set(folder.Path());
  }
  void TearDown() override {
    program.program.Kill();
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  // Two projects whose paths are longer than 64 characters.
  void WriteProjects() const {
    const std::string longer(40, 'x');
    WriteProjectList(folder.Path(), {WriteProject(folder.Path(), "Alpha" + longer, "Site Alpha"),
                                     WriteProject(folder.Path(), "Beta" + longer, "Site Beta")});
  }
  bool Running() const { return program.program.WaitExit(0) == STILL_ACTIVE; }
  // Opens the popup menu and ends it again; false when none showed.
  bool MenuOpensAndCloses() const {
    const bool shown = menu.Open() != nullptr;
    return menu.End() && shown;
  }
  // The program's next wake-up then waits on the tray stand-in.
  void StartThenHangTheTray(SchedulerUnderTest& scheduler, FakeTray& tray) const {
    ASSERT_TRUE(scheduler.Start(folder.CopyProgram("KorvSchd.exe")));
    ASSERT_TRUE(tray.Ready());
    ASSERT_TRUE(WaitFor([&] { return tray.Saw(NIM_MODIFY, scheduler.window); }, 5000)) << tray.Describe();
    tray.StopAnswering();
    WaitFor([] { return false; }, 1000);
  }
  std::string AnyBox() const {
    HWND box = menu.Find(kBoxClass);
    return box ? BoxTexts(box) : std::string();
  }

  TempFolder folder{"failure"};
  ScopedWorkPath workPath;
  SchedulerUnderTest program;
  TrayMenu menu{program};
};
}  // namespace

// The menu reads the list and the titles: every allocation of 64 bytes or
// more fails while it opens, the wake-ups' shorter texts still come.
TEST_F(ProgramFailureTest, OutOfMemoryWhileTheMenuReadsTheProjectsStillShowsTheMenu) {
  WriteProjects();
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  {
    ImportPatch noMemory(program.program.Process(), program.program.ProcessId(), "KorvSchd.exe", "msvcrt.dll", "malloc",
                         FailFromSize{64});
    ASSERT_EQ(noMemory.Error(), "");
    EXPECT_TRUE(MenuOpensAndCloses()) << "the menu shows, without the projects that could not be read";
    ASSERT_TRUE(Running()) << "ended with exit code 0x" << std::hex << program.program.WaitExit(0);
  }
  EXPECT_TRUE(MenuOpensAndCloses()) << "and again once memory is back";
  EXPECT_EQ(AnyBox(), "") << "no error box";
  EXPECT_EQ(program.Close(), 0u) << "WM_CLOSE ends it as usual";
}

// Every wake-up builds the tooltip text, which no longer gets memory.
TEST_F(ProgramFailureTest, OutOfMemoryInTheWakeUpsSkipsThemAndCarriesOn) {
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  {
    ImportPatch noMemory(program.program.Process(), program.program.ProcessId(), "KorvSchd.exe", "msvcrt.dll", "malloc",
                         FailFromSize{32});
    ASSERT_EQ(noMemory.Error(), "");
    WaitFor([] { return false; }, 1500);  // five wake-ups
    ASSERT_TRUE(Running()) << "ended with exit code 0x" << std::hex << program.program.WaitExit(0);
  }
  WaitFor([] { return false; }, 700);
  ASSERT_TRUE(Running()) << "ended with exit code 0x" << std::hex << program.program.WaitExit(0);
  EXPECT_EQ(AnyBox(), "") << "no error box";
  EXPECT_TRUE(MenuOpensAndCloses());
  EXPECT_EQ(program.Close(), 0u) << "WM_CLOSE ends it as usual";
}

// The shell's tray stops answering: the wake-ups' tooltip requests wait on
// it, and so would the unload's removal of the icon. The end's waits take
// sent messages: a command sent then (whose refresh would call the hung
// shell) does nothing, and neither does a second end (here with the shell
// answering again meanwhile, so that it could run to its end inside the
// first one).
TEST_F(ProgramFailureTest, HungShellHoldsUpNeitherWmCloseNorDecharger) {
  enum Ask { kClose, kUnloadCommand, kCloseThenCommand, kCloseThenDestroy };
  // clang-format off
  static const char* const names[] = {"WM_CLOSE", "D\xE9" "charger", "WM_CLOSE, then a sent command",
                                      "WM_CLOSE, then a WM_DESTROY sent"};
  // clang-format on
  for (const Ask ask : {kClose, kUnloadCommand, kCloseThenCommand, kCloseThenDestroy}) {
    const bool unloadCommand = ask == kUnloadCommand;
    SCOPED_TRACE(names[ask]);
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    SchedulerUnderTest scheduler;
    TrayMenu unloadMenu{scheduler};
    FakeTray tray;
    ASSERT_NO_FATAL_FAILURE(StartThenHangTheTray(scheduler, tray));
    DWORD asked = 0;
    if (unloadCommand) {
      HWND shown = unloadMenu.Open();
      ASSERT_NE(shown, nullptr);
      unloadMenu.Type(shown, "d");
      HWND box = nullptr;
      ASSERT_TRUE(WaitFor([&] { return (box = unloadMenu.Find(kBoxClass)) && ::GetDlgItem(box, IDYES); }, 10000));
      asked = ::GetTickCount();
      scheduler.program.Post(box, WM_COMMAND, IDYES);
    } else {
      asked = ::GetTickCount();
      scheduler.program.Post(scheduler.window, WM_CLOSE);
    }
    if (ask == kCloseThenCommand || ask == kCloseThenDestroy) {
      WaitFor([] { return false; }, 300);  // the end now waits for the refresh
      if (ask == kCloseThenCommand) {
        ::SendNotifyMessageA(scheduler.window, WM_COMMAND, IDM_SUSPEND, 0);
      } else {
        ::SendNotifyMessageA(scheduler.window, WM_DESTROY, 0, 0);
        WaitFor([] { return false; }, 300);
        tray.Answer();
      }
    }
    EXPECT_EQ(scheduler.program.WaitExit(5000), 0u) << "not ended within 5 s of the request";
    EXPECT_TRUE(ReadSchedule().KeyFound) << "the state is written on the way out, the lock being free";
    EXPECT_EQ(ReadSchedule().State.value_or(0xEE), 0) << "the command sent during the end did nothing";
    std::printf("%s: ended %lu ms after the request\n", names[ask], ::GetTickCount() - asked);
    scheduler.program.Kill();
  }
}

// The shell answers 1.2 s after WM_CLOSE: past the bound for the refresh
// under way, before the process ends. The scheduler thread is then released
// while the end goes on, with the capture application's notice waiting.
// With a peer holding the writer mutex from just before (the thread's read
// queues behind it) and taking it again at once when it lets go, a read
// begun then stays inside until the process ends, every time. With a date
// that falls due in that window, its capture must not be lost.
TEST_F(ProgramFailureTest, AnEndPastItsBoundsLeavesNoReaderRegisteredAndNoCaptureLost) {
  for (const bool dueDate : {false, true}) {
    SCOPED_TRACE(dueDate ? "a date due as the shell answers" : "a peer holding the writer mutex around the answer");
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    const std::string capture = folder.Path() + "korv98.log";
    ::DeleteFileA(capture.c_str());
    folder.CopyProgram("KORV98.EXE");
    SchedulerUnderTest scheduler;
    FakeTray tray;
    ASSERT_NO_FATAL_FAILURE(StartThenHangTheTray(scheduler, tray));
    const double due = dueDate ? LocalNow() + 1100.0 / 86400000.0 : 0.0;
    // The capture application writes, and keeps its handles to the objects,
    // so what the scheduler leaves in them stays. Its notice waits for the
    // scheduler, held in the refresh.
    TDataSynchronizer captureApp(kSyncBaseName, 1);
    {
      const TSyncLock write = captureApp.Write(TScheduler::kLockTimeout);
      ASSERT_TRUE(write);
      ASSERT_TRUE(WriteSchedule(0, due));
    }
    UniqueHandle writer{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, SyncObject("_MutexNoWriter").c_str())};
    ASSERT_TRUE(writer);
    scheduler.program.Post(scheduler.window, WM_CLOSE);
    WaitFor([] { return false; }, 1100);
    if (!dueDate) {
      ASSERT_EQ(::WaitForSingleObject(writer.Get(), 1000), WAIT_OBJECT_0);
    }
    WaitFor([] { return false; }, 100);
    tray.Answer();
    if (!dueDate) {
      WaitFor([] { return false; }, 100);
      ::ReleaseMutex(writer.Get());
      ASSERT_EQ(::WaitForSingleObject(writer.Get(), 2000), WAIT_OBJECT_0);
      std::printf("reader count once the peer had the mutex again: %ld\n", SemaphoreCount(SyncObject("_SemReadCount")));
    }
    EXPECT_EQ(scheduler.program.WaitExit(5000), 0u) << "not ended within 5 s of the request";
    if (!dueDate) ::ReleaseMutex(writer.Get());
    EXPECT_EQ(SemaphoreCount(SyncObject("_SemReadCount")), 0) << "no reader left registered";
    EXPECT_TRUE(captureApp.Write(0)) << "the write lock is had at once";
    if (dueDate) {
      const double stored = ReadSchedule().StartupDate.value_or(-1.0);
      EXPECT_TRUE(WaitFor([&] { return !ReadFileText(capture).empty(); }, 3000) || stored == due)
          << "a cleared date whose capture never started: date " << stored;
    }
    scheduler.program.Kill();
  }
}
