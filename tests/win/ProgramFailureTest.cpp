// The real KorvSchd.exe when what it relies on fails under it: memory runs
// out (its malloc import answers nothing for a while), the shell's tray
// stops answering. It carries on, or ends when asked, as it does otherwise.
// Uses the real work folder, tray, schedule key and Run value.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "sched/ScheduleRegistry.h"
#include "tests/support/TestSupport.h"
#include "tests/win/ImportPatch.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
constexpr char kMenuClass[] = "#32768";
constexpr char kDialogClass[] = "#32770";

std::string WindowText(HWND window) {
  char text[512] = {};
  int n = ::GetWindowTextA(window, text, sizeof text);
  return std::string(text, n > 0 ? n : 0);
}

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
  void WriteProjects() {
    std::string list;
    for (const char* name : {"Alpha", "Beta"}) {
      const std::string folderName = std::string(name) + std::string(40, 'x');
      ::CreateDirectoryA((folder.Path() + folderName).c_str(), nullptr);
      const std::string path = folder.Path() + folderName + "\\" + name + ".kvp";
      WriteFileText(path, ProjectHeader(512, std::string("Site ") + name));
      list += path + "\r\n";
    }
    WriteFileText(folder.Path() + "webs.dat", list);
  }
  bool Running() const { return program.program.WaitExit(0) == STILL_ACTIVE; }
  // Opens the popup menu and ends it again; false when none showed.
  bool MenuOpensAndCloses() const {
    program.program.Post(program.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    WaitFor([&] { return (menu = program.program.FindWindowOfClass(kMenuClass, 0)) && ::IsWindowVisible(menu); },
            10000);
    program.program.Post(program.window, WM_CANCELMODE);
    WaitFor([&] { return program.program.FindWindowOfClass(kMenuClass, 0) == nullptr; }, 10000);
    return menu != nullptr;
  }
  std::string AnyBox() const {
    HWND box = program.program.FindWindowOfClass(kDialogClass, 0);
    return box ? BoxTexts(box) : std::string();
  }

  TempFolder folder{"failure"};
  ScopedWorkPath workPath;
  SchedulerUnderTest program;
};
}  // namespace

// The menu reads the list and the titles: every allocation of 64 bytes or
// more fails while it opens, the wake-ups' shorter texts still come.
TEST_F(ProgramFailureTest, OutOfMemoryWhileTheMenuReadsTheProjectsStillShowsTheMenu) {
  WriteProjects();
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  {
    ImportPatch noMemory(program.program.Process(), program.program.ProcessId(), "KorvSchd.exe", "msvcrt.dll",
                         "malloc", FailFromSize{64});
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
    ImportPatch noMemory(program.program.Process(), program.program.ProcessId(), "KorvSchd.exe", "msvcrt.dll",
                         "malloc", FailFromSize{32});
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
