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
#include "sched/ScheduleRegistry.h"
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
// it, and so would the unload's removal of the icon.
TEST_F(ProgramFailureTest, HungShellHoldsUpNeitherWmCloseNorDecharger) {
  for (const bool unloadCommand : {false, true}) {
    SCOPED_TRACE(unloadCommand ? "D\xE9"
                                 "charger"
                               : "WM_CLOSE");
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    SchedulerUnderTest scheduler;
    TrayMenu unloadMenu{scheduler};
    ASSERT_TRUE(scheduler.Start(folder.CopyProgram("KorvSchd.exe")));
    FakeTray tray;
    ASSERT_TRUE(tray.Ready());
    ASSERT_TRUE(WaitFor([&] { return tray.Saw(NIM_MODIFY, scheduler.window); }, 5000)) << tray.Describe();
    tray.StopAnswering();
    WaitFor([] { return false; }, 1000);  // the next wake-up now waits on the tray
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
    EXPECT_EQ(scheduler.program.WaitExit(5000), 0u) << "not ended within 5 s of the request";
    EXPECT_TRUE(ReadSchedule().KeyFound) << "the state is written on the way out, the lock being free";
    std::printf("%s: ended %lu ms after the request\n", unloadCommand ? "unload command" : "WM_CLOSE",
                ::GetTickCount() - asked);
    scheduler.program.Kill();
  }
}
