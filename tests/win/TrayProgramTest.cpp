// The real KorvSchd.exe's tray from outside: the icon's callback message opens
// the popup menu, keys posted to the menu choose its commands, the unload
// question is answered through its buttons. Every test that opens a menu ends
// it. Uses the real work folder, schedule key, Run value and tray.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "sched/CaptureApp.h"
#include "sched/ScheduleRegistry.h"
#include "tests/support/TestSupport.h"
#include "tests/win/FakeTray.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
constexpr char kMenuClass[] = "#32768";
constexpr char kDialogClass[] = "#32770";

std::vector<DWORD> ThreadsOf(DWORD processId) {
  std::vector<DWORD> threads;
  UniqueHandle snapshot{::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot.Get(), &entry); more; more = ::Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == processId) threads.push_back(entry.th32ThreadID);
  }
  return threads;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  int n = ::GetWindowTextA(window, text, sizeof text);
  return std::string(text, n > 0 ? n : 0);
}

class TrayProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    workPath.Set(folder.Path());
    ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
    ASSERT_TRUE(WaitFor([&] { return (iconId = FindIconId()) != 0; }, 10000)) << "the icon is in the tray";
  }
  void TearDown() override {
    EndAnyMenu();
    if (program.program.WaitExit(0) == STILL_ACTIVE) {
      EXPECT_EQ(program.Close(), 0u);
    }
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }

  // The icon's identifier is the scheduler thread's: one of the program's.
  UINT FindIconId() const {
    for (DWORD thread : ThreadsOf(program.program.ProcessId())) {
      if (TrayHasIcon(program.window, thread)) return thread;
    }
    return 0;
  }
  void Click(LPARAM mouseMessage) const { program.program.Post(program.window, WM_TRAYNOTIFY, iconId, mouseMessage); }
  // A window of the program's once it is on the screen: found earlier, a
  // menu or message box may still be without its items or texts.
  HWND FindShown(const char* className) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
          found = program.program.FindWindowOfClass(className, 0);
          return found && ::IsWindowVisible(found);
        },
        10000);
    return found && ::IsWindowVisible(found) ? found : nullptr;
  }
  HWND OpenMenu() const {
    Click(WM_RBUTTONUP);
    return FindShown(kMenuClass);
  }
  bool MenuGone() const {
    return WaitFor([&] { return program.program.FindWindowOfClass(kMenuClass, 0) == nullptr; }, 10000);
  }
  void EndAnyMenu() const {
    if (program.window && program.program.FindWindowOfClass(kMenuClass, 0)) {
      program.program.Post(program.window, WM_CANCELMODE);
      MenuGone();
    }
  }
  // Chooses an entry by its underlined letter, as the keyboard does.
  void Choose(HWND menu, char letter) const { program.program.Post(menu, WM_CHAR, static_cast<WPARAM>(letter)); }
  std::uint8_t StoredState() const { return ReadSchedule().State.value_or(0xEE); }

  TempFolder folder{"traypgm"};
  ScopedWorkPath workPath;
  SchedulerUnderTest program;
  UINT iconId = 0;
};
}  // namespace

TEST_F(TrayProgramTest, RightClickOpensTheMenuAndSuspendreTogglesBitZero) {
  HWND menu = OpenMenu();
  ASSERT_NE(menu, nullptr) << "a right-button release opens the popup";
  Choose(menu, 's');
  EXPECT_TRUE(MenuGone());
  EXPECT_TRUE(WaitFor([&] { return StoredState() == kStateSuspended; }, 5000)) << "State " << int(StoredState());

  menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'S');
  EXPECT_TRUE(MenuGone());
  EXPECT_TRUE(WaitFor([&] { return StoredState() == 0; }, 5000)) << "State " << int(StoredState());
  EXPECT_TRUE(TrayHasIcon(program.window, iconId));
}

TEST_F(TrayProgramTest, EscapeOrCancelModeEndsTheMenuAndNothingHappens) {
  HWND menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  program.program.Post(menu, WM_KEYDOWN, VK_ESCAPE);
  EXPECT_TRUE(MenuGone());
  ASSERT_NE(OpenMenu(), nullptr) << "the menu opens again after being dismissed";
  program.program.Post(program.window, WM_CANCELMODE);
  EXPECT_TRUE(MenuGone());
  EXPECT_EQ(program.program.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_FALSE(ReadSchedule().KeyFound) << "nothing chosen, nothing written";
}

TEST_F(TrayProgramTest, LeftAndDoubleClicksOpenNothing) {
  for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE}) Click(mouse);
  // Nothing can show that no menu will come; a second's wait covers the
  // five posted messages many times over.
  EXPECT_EQ(program.program.FindWindowOfClass(kMenuClass, 1000), nullptr);
  EXPECT_EQ(program.program.FindWindowOfClass(kDialogClass, 0), nullptr);
}

TEST_F(TrayProgramTest, DechargerAnsweredNonKeepsItRunningOuiEndsIt) {
  HWND menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'd');
  HWND box = FindShown(kDialogClass);
  ASSERT_NE(box, nullptr) << "the confirmation";
  EXPECT_EQ(WindowText(box), "D\xE9" "charger");
  bool questionShown = false;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    questionShown |= WindowText(child) == "Voulez-vous arr\xEAter le gestionnaire de capture en diff\xE9r\xE9?";
  }
  EXPECT_TRUE(questionShown);
  ASSERT_NE(::GetDlgItem(box, IDNO), nullptr);
  ASSERT_NE(::GetDlgItem(box, IDYES), nullptr);
  program.program.Post(box, WM_COMMAND, IDNO);
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box); }, 10000));
  EXPECT_EQ(program.program.WaitExit(500), static_cast<DWORD>(STILL_ACTIVE));
  std::string run;
  EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, run)) << "Non keeps the Run value";
  EXPECT_TRUE(TrayHasIcon(program.window, iconId));

  menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'd');
  box = FindShown(kDialogClass);
  ASSERT_NE(box, nullptr);
  program.program.Post(box, WM_COMMAND, IDYES);
  EXPECT_EQ(program.program.WaitExit(15000), 0u);
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, run)) << "Oui removes the Run value";
  EXPECT_FALSE(TrayHasIcon(program.window, iconId)) << "the icon left with the program";
}

TEST_F(TrayProgramTest, BroadcastTaskbarCreatedAddsTheIconAgain) {
  ASSERT_TRUE(DeleteTrayIcon(program.window, iconId)) << "as if the shell had restarted";
  ASSERT_FALSE(TrayHasIcon(program.window, iconId));
  ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitFor([&] { return TrayHasIcon(program.window, iconId); }, 10000));
  ASSERT_NE(OpenMenu(), nullptr) << "and its menu works";
  EndAnyMenu();
}

TEST_F(TrayProgramTest, ChargerStartsTheCaptureApplicationUnlessItRuns) {
  folder.CopyProgram("KORV98.EXE");
  const std::string log = folder.Path() + "korv98.log";
  HWND menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'c');
  EXPECT_TRUE(MenuGone());
  ASSERT_TRUE(WaitFor([&] { return !ReadFileText(log).empty(); }, 10000)) << "KORV98.EXE started beside the scheduler";
  EXPECT_NE(ReadFileText(log).find(" show=1 "), std::string::npos) << ReadFileText(log);

  UniqueHandle running{::CreateMutexA(nullptr, FALSE, InstanceMutexName(kCaptureAppName).c_str())};
  ASSERT_TRUE(running);
  menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'c');
  EndAnyMenu();
  // A launch would log within the time the first one took many times over.
  ::Sleep(1000);
  const std::string after = ReadFileText(log);
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << "grayed while it runs:\n" << after;
}

TEST_F(TrayProgramTest, ChosenProjectOpensItsHomePageInTheBrowser) {
  // The browser, seen from the program: a stand-in that logs its command line.
  TempFolder browser{"navig"};
  const std::string browserExe = browser.CopyProgram("KORV98.EXE", "NAVIG.EXE");
  ASSERT_EQ(program.Close(), 0u);
  ::CreateDirectoryA((folder.Path() + "Musee").c_str(), nullptr);
  const std::string project = folder.Path() + "Musee\\projet.kvp";
  WriteFileText(project, ProjectHeader(512, "Mus\xE9" "e"));
  WriteFileText(folder.Path() + "webs.dat", "\r\n" + project + "\r\n");
  WriteFileText(folder.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + browserExe + "\r\n");
  SchedulerUnderTest withBrowser;
  ASSERT_TRUE(withBrowser.Start(folder.Path() + "KorvSchd.exe"));
  withBrowser.program.Post(withBrowser.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
  HWND menu = withBrowser.program.FindWindowOfClass(kMenuClass, 10000);
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'w');
  Choose(menu, '2');
  const std::string log = browser.Path() + "korv98.log";
  EXPECT_TRUE(WaitFor([&] { return ReadFileText(log).find("_accueil.htm") != std::string::npos; }, 15000));
  EXPECT_NE(ReadFileText(log).find(folder.Path() + "Musee\\_accueil.htm"), std::string::npos) << ReadFileText(log);
  EXPECT_EQ(withBrowser.program.FindWindowOfClass(kMenuClass, 0), nullptr);
  EXPECT_EQ(withBrowser.Close(), 0u);
}

TEST_F(TrayProgramTest, QuitMessageFromOutsideRemovesTheIconAndSavesTheState) {
  // The program's icon requests now reach a tray that records them.
  FakeTray tray;
  ASSERT_TRUE(tray.Ready());
  ASSERT_TRUE(WaitFor([&] { return tray.Saw(NIM_MODIFY, program.window, iconId); }, 5000))
      << "the wake-ups' tooltips\n" << tray.Describe();
  ASSERT_FALSE(ReadSchedule().KeyFound);
  // Another program ends the loop without destroying the window first.
  const DWORD mainThread = ::GetWindowThreadProcessId(program.window, nullptr);
  ASSERT_TRUE(::PostThreadMessageA(mainThread, WM_QUIT, 5, 0));
  EXPECT_EQ(program.program.WaitExit(10000), 0u) << "a normal end";
  EXPECT_TRUE(tray.Saw(NIM_DELETE, program.window, iconId)) << "no ghost icon left\n" << tray.Describe();
  EXPECT_TRUE(ReadSchedule().KeyFound) << "the scheduler wrote its state as it stopped";
}
