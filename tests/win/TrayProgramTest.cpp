// The real KorvSchd.exe's tray from outside: the icon's callback message opens
// the popup menu, keys posted to the menu choose its commands, the unload
// question is answered through its buttons. The menu driver ends any menu a
// test leaves open. Uses the real work folder, schedule key, Run value and tray.
#include <windows.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "res/resource.h"
#include "sched/ScheduleRegistry.h"
#include "tests/support/TestSupport.h"
#include "tests/win/FakeTray.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
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

bool Near(DWORD a, DWORD b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > 8 || d < -8) return false;
  }
  return true;
}

// The fewest opaque pixels of the icon that differ from the screen at any
// place in the area; -1 when the icon has no opaque pixel.
int FewestDifferences(const Pixels& screen, const Pixels& onBlack, const Pixels& onWhite) {
  std::vector<std::pair<int, DWORD>> opaque;  // offset in the icon, colour
  for (int y = 0; y < onBlack.height; ++y) {
    for (int x = 0; x < onBlack.width; ++x) {
      if (onBlack.At(x, y) == onWhite.At(x, y)) opaque.emplace_back(y * 1000 + x, onBlack.At(x, y));
    }
  }
  if (opaque.empty()) return -1;
  int fewest = static_cast<int>(opaque.size());
  for (int top = 0; top + onBlack.height <= screen.height; ++top) {
    for (int left = 0; left + onBlack.width <= screen.width; ++left) {
      int differences = 0;
      for (const auto& [offset, colour] : opaque) {
        if (!Near(screen.At(left + offset % 1000, top + offset / 1000), colour) && ++differences >= fewest) break;
      }
      fewest = std::min(fewest, differences);
    }
  }
  return fewest;
}

class TrayProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    workPath.Set(folder.Path());
    ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
    ASSERT_TRUE(WaitFor([&] { return (iconId = FindIconId()) != 0; }, 10000)) << "the icon is in the tray";
    menu.SetIconId(iconId);
  }
  void TearDown() override {
    menu.End();
    if (program.program.WaitExit(0) == STILL_ACTIVE) {
      EXPECT_EQ(program.Close(), 0u);
    }
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }

  // The one identifier that the tray knows for the program's window, asked
  // among small numbers and the program's thread identifiers; 0 when it
  // knows none, or more than one.
  UINT FindIconId() const {
    std::vector<DWORD> candidates = ThreadsOf(program.program.ProcessId());
    for (UINT id = 0; id < 256; ++id) candidates.push_back(id);
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    UINT found = 0;
    int known = 0;
    for (DWORD id : candidates) {
      if (!TrayHasIcon(program.window, id)) continue;
      found = id;
      ++known;
    }
    return known == 1 ? found : 0;
  }
  std::uint8_t StoredState() const { return ReadSchedule().State.value_or(0xEE); }
  // Ends the program started by SetUp and starts it again with the browser
  // named in Korvamo.ini: the browser is chosen when the program starts.
  bool RestartWithBrowser(const LoggingBrowser& browser) {
    if (program.Close() != 0) return false;
    WriteBrowserChoice(folder.Path(), browser.exe);
    program = SchedulerUnderTest{};
    return program.Start(folder.Path() + "KorvSchd.exe");
  }

  TempFolder folder{"traypgm"};
  ScopedWorkPath workPath;
  SchedulerUnderTest program;
  TrayMenu menu{program};
  UINT iconId = 0;
};
}  // namespace

TEST_F(TrayProgramTest, RightClickOpensTheMenuAndSuspendreTogglesBitZero) {
  HWND shown = menu.Open();
  ASSERT_NE(shown, nullptr) << "a right-button release opens the popup";
  menu.Type(shown, "s");
  EXPECT_TRUE(menu.Gone());
  EXPECT_TRUE(WaitFor([&] { return StoredState() == kStateSuspended; }, 5000)) << "State " << int(StoredState());

  shown = menu.Open();
  ASSERT_NE(shown, nullptr);
  menu.Type(shown, "S");
  EXPECT_TRUE(menu.Gone());
  EXPECT_TRUE(WaitFor([&] { return StoredState() == 0; }, 5000)) << "State " << int(StoredState());
  EXPECT_TRUE(TrayHasIcon(program.window, iconId));
}

TEST_F(TrayProgramTest, EscapeOrCancelModeEndsTheMenuAndNothingHappens) {
  HWND shown = menu.Open();
  ASSERT_NE(shown, nullptr);
  menu.Press(shown, VK_ESCAPE);
  EXPECT_TRUE(menu.Gone());
  ASSERT_NE(menu.Open(), nullptr) << "the menu opens again after being dismissed";
  EXPECT_TRUE(menu.End());
  EXPECT_EQ(program.program.WaitExit(0), static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_FALSE(ReadSchedule().KeyFound) << "nothing chosen, nothing written";
}

TEST_F(TrayProgramTest, LeftAndDoubleClicksOpenNothing) {
  for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE}) menu.Click(mouse);
  // Nothing can show that no menu will come; a second's wait covers the
  // five posted messages many times over.
  EXPECT_FALSE(WaitFor([&] { return menu.Find(kMenuClass) != nullptr; }, 1000));
  EXPECT_EQ(menu.Find(kBoxClass), nullptr);
}

TEST_F(TrayProgramTest, DechargerAnsweredNonKeepsItRunningOuiEndsIt) {
  HWND shown = menu.Open();
  ASSERT_NE(shown, nullptr);
  menu.Type(shown, "d");
  HWND box = menu.Shown(kBoxClass);
  ASSERT_NE(box, nullptr) << "the confirmation";
  // clang-format off
  EXPECT_EQ(WindowText(box), "D\xE9" "charger");
  // clang-format on
  bool questionShown = false;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    questionShown |= WindowText(child) == "Voulez-vous arr\xEAter le gestionnaire de capture en diff\xE9r\xE9?";
  }
  EXPECT_TRUE(questionShown);
  ASSERT_NE(::GetDlgItem(box, IDNO), nullptr);
  ASSERT_NE(::GetDlgItem(box, IDYES), nullptr);
  // A right click while the question is up opens no menu from inside its
  // loop, even after a command that ran there and ended first.
  program.program.Post(program.window, WM_COMMAND, 101);
  menu.Click(WM_RBUTTONUP);
  ::Sleep(1000);
  EXPECT_EQ(menu.Find(kMenuClass), nullptr);
  menu.End();
  program.program.Post(box, WM_COMMAND, IDNO);
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(box); }, 10000));
  EXPECT_EQ(program.program.WaitExit(500), static_cast<DWORD>(STILL_ACTIVE));
  std::string run;
  EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, run)) << "Non keeps the Run value";
  EXPECT_TRUE(TrayHasIcon(program.window, iconId));

  shown = menu.Open();
  ASSERT_NE(shown, nullptr);
  menu.Type(shown, "d");
  box = menu.Shown(kBoxClass);
  ASSERT_NE(box, nullptr);
  program.program.Post(box, WM_COMMAND, IDYES);
  EXPECT_EQ(program.program.WaitExit(15000), 0u);
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, run)) << "Oui removes the Run value";
  EXPECT_FALSE(TrayHasIcon(program.window, iconId)) << "the icon left with the program";
}

// The shell keeps a user's choice to show or hide an icon by the program and
// the icon's identifier: it must not change from one start to the next.
TEST_F(TrayProgramTest, TheIconHasTheSameIdentifierAtEveryStart) {
  ASSERT_EQ(program.Close(), 0u);
  program = SchedulerUnderTest{};
  ASSERT_TRUE(program.Start(folder.Path() + "KorvSchd.exe"));
  UINT again = 0;
  ASSERT_TRUE(WaitFor([&] { return (again = FindIconId()) != 0; }, 10000)) << "one icon in the tray";
  std::printf("icon identifier: %u, then %u\n", iconId, again);
  EXPECT_EQ(again, iconId);
}

TEST_F(TrayProgramTest, BroadcastTaskbarCreatedAddsTheIconAgain) {
  ASSERT_TRUE(DeleteTrayIcon(program.window, iconId)) << "as if the shell had restarted";
  ASSERT_FALSE(TrayHasIcon(program.window, iconId));
  ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitFor([&] { return TrayHasIcon(program.window, iconId); }, 10000));
  ASSERT_NE(menu.Open(), nullptr) << "and its menu works";
}

// The notice also comes while the shell still shows the icon (a new display
// scale, a remote session): the refused add is followed by the whole icon
// again, at the size the tray now asks for.
TEST_F(TrayProgramTest, TaskbarCreatedAddsTheIconOrSendsItAgainWhenTheShellHasIt) {
  FakeTray tray;
  ASSERT_TRUE(tray.Ready());
  const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  auto requestsAfter = [&](std::size_t seen, std::size_t count) {
    std::vector<FakeTray::Request> after;
    WaitFor(
        [&] {
          after.clear();
          const std::vector<FakeTray::Request> all = tray.Requests();
          for (std::size_t i = seen; i < all.size(); ++i) {
            if (all[i].Action == NIM_ADD || all[i].Flags != NIF_TIP) after.push_back(all[i]);
          }
          return after.size() >= count;
        },
        10000);
    return after;
  };
  ::PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
  const std::vector<FakeTray::Request> gone = requestsAfter(0, 1);
  ASSERT_EQ(gone.size(), 1u) << "a tray without the icon\n" << tray.Describe();
  EXPECT_EQ(gone[0].Action, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(gone[0].Accepted);

  const std::size_t seen = tray.Requests().size();
  ::PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0);
  const std::vector<FakeTray::Request> kept = requestsAfter(seen, 2);
  ASSERT_EQ(kept.size(), 2u) << "a tray that has the icon\n" << tray.Describe();
  EXPECT_EQ(kept[0].Action, static_cast<DWORD>(NIM_ADD));
  EXPECT_FALSE(kept[0].Accepted);
  const FakeTray::Request& resent = kept[1];
  EXPECT_EQ(resent.Action, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(resent.Id, iconId);
  EXPECT_EQ(resent.Flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(resent.CallbackMessage, WM_TRAYNOTIFY);
  DWORD tooltipOnly = 0;
  WaitFor(
      [&] {
        for (const FakeTray::Request& r : tray.Requests()) {
          if (r.Flags == NIF_TIP) tooltipOnly = r.Bytes;
        }
        return tooltipOnly != 0;
      },
      5000);
  ASSERT_NE(tooltipOnly, 0u) << "a wake-up's tooltip\n" << tray.Describe();
  EXPECT_GT(gone[0].Bytes, tooltipOnly) << "an add carries the image";
  EXPECT_EQ(resent.Bytes, gone[0].Bytes) << "so does the icon sent again\n" << tray.Describe();
  std::printf("after the notice with the icon kept: %s", tray.Describe().c_str());
}

// That the entry is grayed while the capture application runs is checked in
// process (TrayTest.CaptureAppRunningGraysTheLoadEntry).
TEST_F(TrayProgramTest, ChargerStartsTheCaptureApplication) {
  folder.CopyProgram("KORV98.EXE");
  const std::string log = folder.Path() + "korv98.log";
  HWND shown = menu.Open();
  ASSERT_NE(shown, nullptr);
  menu.Type(shown, "c");
  EXPECT_TRUE(menu.Gone());
  ASSERT_TRUE(WaitFor([&] { return !ReadFileText(log).empty(); }, 10000)) << "KORV98.EXE started beside the scheduler";
  EXPECT_NE(ReadFileText(log).find(" show=1 "), std::string::npos) << ReadFileText(log);
}

// The notification area draws icons at the small-icon size of the DPI; the
// program hands it the image drawn for that size, which the area shows pixel
// for pixel (an image of another size would be stretched and not match).
TEST_F(TrayProgramTest, TrayShowsTheImageDrawnForTheSizeOfItsDpi) {
  const int side = ::GetSystemMetrics(SM_CXSMICON);
  HMODULE exe = ::LoadLibraryExA((BinDir() + "KorvSchd.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  UniqueHicon icon{static_cast<HICON>(::LoadImageA(exe, MAKEINTRESOURCEA(IDI_ACTIVE), IMAGE_ICON, side, side, 0))};
  ::FreeLibrary(exe);
  ASSERT_TRUE(icon);
  const Pixels onBlack = DrawnIcon(icon.Get(), side, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  const Pixels onWhite = DrawnIcon(icon.Get(), side, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

  // The desktop's explorer keeps a hidden window of that class as well.
  HWND tray = nullptr;
  while ((tray = ::FindWindowExA(nullptr, tray, "Shell_TrayWnd", nullptr)) && !::IsWindowVisible(tray)) {
  }
  ASSERT_NE(tray, nullptr) << "the desktop shows a notification area";
  RECT area{};
  ::GetWindowRect(tray, &area);
  int fewest = -1;
  // The area paints after the icon arrives.
  WaitFor(
      [&] {
        HDC screen = ::GetDC(nullptr);
        const Pixels shown = CopyPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
        ::ReleaseDC(nullptr, screen);
        fewest = FewestDifferences(shown, onBlack, onWhite);
        return fewest == 0;
      },
      5000, 250);
  EXPECT_EQ(fewest, 0) << "opaque pixels of the " << side << " x " << side
                       << " image that differ from the notification area where it matches best";
}

TEST_F(TrayProgramTest, QuitMessageFromOutsideRemovesTheIconAndSavesTheState) {
  // The program's icon requests now reach a tray that records them.
  FakeTray tray;
  ASSERT_TRUE(tray.Ready());
  ASSERT_TRUE(WaitFor([&] { return tray.Saw(NIM_MODIFY, program.window, iconId); }, 5000)) << "the wake-ups' tooltips\n"
                                                                                           << tray.Describe();
  ASSERT_FALSE(ReadSchedule().KeyFound);
  // Another program ends the loop without destroying the window first.
  const DWORD mainThread = ::GetWindowThreadProcessId(program.window, nullptr);
  ASSERT_TRUE(::PostThreadMessageA(mainThread, WM_QUIT, 5, 0));
  EXPECT_EQ(program.program.WaitExit(10000), 0u) << "a normal end";
  EXPECT_TRUE(tray.Saw(NIM_DELETE, program.window, iconId)) << "no ghost icon left\n" << tray.Describe();
  EXPECT_TRUE(ReadSchedule().KeyFound) << "the scheduler wrote its state as it stopped";
}

// Each opening reads webs.dat again: a list grown, shortened or reordered
// since, and a line cut short by a NUL, which names the path before it.
TEST_F(TrayProgramTest, EachOpeningShowsTheListAsItIsThen) {
  LoggingBrowser browser;
  const std::vector<std::string> projects = WriteWorkFolder(folder.Path(), {"Alpha", "Bravo", "Charlie"});
  ASSERT_TRUE(RestartWithBrowser(browser));
  auto choose = [&](const std::string& list, char entry) {
    WriteFileText(folder.Path() + "webs.dat", list);
    const std::size_t before = browser.Log().size();
    HWND shown = menu.Open();
    if (!shown) return std::string("no menu");
    menu.Type(shown, std::string("w") + entry);
    if (!WaitFor([&] { return browser.Log().size() > before; }, 15000)) return std::string("nothing opened");
    menu.Gone();
    return browser.Log().substr(before);
  };
  const std::string first = choose(projects[0] + "\r\n" + projects[1] + "\r\n", '2');
  EXPECT_NE(first.find("site2\\_accueil.htm"), std::string::npos) << first;
  const std::string shorter = choose(projects[2] + "\r\n", '1');
  EXPECT_NE(shorter.find("site3\\_accueil.htm"), std::string::npos) << shorter;
  const std::string longer = choose(projects[1] + "\r\n" + projects[0] + "\r\n" + projects[2] + "\r\n", '3');
  EXPECT_NE(longer.find("site3\\_accueil.htm"), std::string::npos) << longer;
  const std::string reordered = choose(projects[1] + "\r\n" + projects[0] + "\r\n", '2');
  EXPECT_NE(reordered.find("site1\\_accueil.htm"), std::string::npos) << reordered;
  const std::string nul = choose(projects[1] + std::string(1, '\0') + projects[0] + "\r\n", '1');
  EXPECT_NE(nul.find(folder.Path() + "site2\\_accueil.htm"), std::string::npos) << nul;
}
