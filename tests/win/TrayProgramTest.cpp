// The real KorvSchd.exe's tray from outside: the icon's callback message opens
// the popup menu, keys posted to the menu choose its commands, the unload
// question is answered through its buttons. Every test that opens a menu ends
// it. Uses the real work folder, schedule key, Run value and tray.
#include <windows.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "res/resource.h"
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

// A screen area as 32-bit pixels (0x00RRGGBB), copied through a DIB.
struct Pixels {
  int width = 0, height = 0;
  std::vector<DWORD> bits;
  DWORD At(int x, int y) const { return bits[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
};

Pixels Copy(HDC source, int x, int y, int width, int height) {
  Pixels pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return pixels;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, dib);
  ::BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
  ::GdiFlush();
  pixels.width = width;
  pixels.height = height;
  const auto* first = static_cast<const DWORD*>(bits);
  pixels.bits.assign(first, first + static_cast<std::size_t>(width) * height);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(dib);
  return pixels;
}

// The icon drawn at side x side over a plain background.
Pixels Drawn(HICON icon, int side, HBRUSH background) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, side, side);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, side, side};
  ::FillRect(dc, &all, background);
  ::DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
  Pixels pixels = Copy(dc, 0, 0, side, side);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return pixels;
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
  // Ends the program started by SetUp and starts it again with a stand-in
  // browser named in Korvamo.ini, which logs each start's command line in
  // korv98.log beside it: the browser is chosen when the program starts.
  bool RestartWithLoggingBrowser(const TempFolder& browser) {
    const std::string browserExe = browser.CopyProgram("KORV98.EXE", "NAVIG.EXE");
    if (program.Close() != 0) return false;
    WriteFileText(folder.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + browserExe + "\r\n");
    program = SchedulerUnderTest{};
    return program.Start(folder.Path() + "KorvSchd.exe");
  }

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
  // A right click while the question is up opens no menu from inside its loop.
  Click(WM_RBUTTONUP);
  ::Sleep(1000);
  EXPECT_EQ(program.program.FindWindowOfClass(kMenuClass, 0), nullptr);
  EndAnyMenu();
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
  // clang-format off
  WriteFileText(project, ProjectHeader(512, "Mus\xE9" "e"));
  // clang-format on
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
  const Pixels onBlack = Drawn(icon.Get(), side, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
  const Pixels onWhite = Drawn(icon.Get(), side, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

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
        const Pixels shown = Copy(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
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

TEST_F(TrayProgramTest, ALineWithANulOpensTheFolderOfThePathBeforeIt) {
  TempFolder browser{"navig"};
  ::CreateDirectoryA((folder.Path() + "Musee").c_str(), nullptr);
  const std::string project = folder.Path() + "Musee\\projet.kvp";
  // clang-format off
  WriteFileText(project, ProjectHeader(512, "Mus\xE9" "e"));
  // clang-format on
  WriteFileText(folder.Path() + "webs.dat", project + std::string(1, '\0') + folder.Path() + "Autre\\x.kvp\r\n");
  ASSERT_TRUE(RestartWithLoggingBrowser(browser));
  HWND menu = OpenMenu();
  ASSERT_NE(menu, nullptr);
  Choose(menu, 'w');
  Choose(menu, '1');
  const std::string log = browser.Path() + "korv98.log";
  ASSERT_TRUE(WaitFor([&] { return !ReadFileText(log).empty(); }, 15000)) << "the browser started";
  EXPECT_NE(ReadFileText(log).find(folder.Path() + "Musee\\_accueil.htm"), std::string::npos)
      << "the folder of the path whose title the entry shows\n"
      << ReadFileText(log);
}

TEST_F(TrayProgramTest, DevicesAndPipesInTheListDoNotHoldTheMenu) {
  // Before names were judged, the menu waited on this pipe for 20 s, then
  // for good on COM1, a serial port under Wine too.
  StalledPipe pipe("korvpgm-" + std::to_string(::GetCurrentProcessId()), 20000);
  ASSERT_TRUE(pipe.Created());
  ::CreateDirectoryA((folder.Path() + "Musee").c_str(), nullptr);
  const std::string project = folder.Path() + "Musee\\projet.kvp";
  // clang-format off
  WriteFileText(project, ProjectHeader(512, "Mus\xE9" "e"));
  // clang-format on
  WriteFileText(folder.Path() + "webs.dat",
                pipe.Path() + "\r\nCOM1\r\nNUL\r\nCON\r\nLPT1\r\n" + folder.Path() + "aux.kvp\r\n" + project + "\r\n");
  ASSERT_NE(OpenMenu(), nullptr) << "the menu opens at once";
  EndAnyMenu();
  EXPECT_FALSE(pipe.Connected()) << "the pipe was never opened";
  ASSERT_NE(OpenMenu(), nullptr) << "and again";
}

TEST_F(TrayProgramTest, AListOfHundredsOfMegabytesOpensTheMenuUpToItsBound) {
  TempFolder browser{"navig"};
  ASSERT_TRUE(WriteHugeList(folder.Path() + "webs.dat", folder.Path(), 10100, 200));
  ASSERT_TRUE(RestartWithLoggingBrowser(browser));
  // Generous: the menu of 10,000 entries is built before it shows.
  program.program.Post(program.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
  HWND menu = program.program.FindWindowOfClass(kMenuClass, 60000);
  ASSERT_NE(menu, nullptr) << "the menu opens";
  Choose(menu, 'w');
  program.program.Post(menu, WM_KEYDOWN, VK_END);
  program.program.Post(menu, WM_KEYDOWN, VK_RETURN);
  const std::string log = browser.Path() + "korv98.log";
  ASSERT_TRUE(WaitFor([&] { return ReadFileText(log).find("_accueil.htm") != std::string::npos; }, 60000))
      << "the last entry chosen";
  EXPECT_NE(ReadFileText(log).find(folder.Path() + "p10000\\_accueil.htm"), std::string::npos)
      << "the last entry is the 10,000th line\n"
      << ReadFileText(log);
  EXPECT_TRUE(MenuGone());
  ::DeleteFileA((folder.Path() + "webs.dat").c_str());
}

TEST_F(TrayProgramTest, EachOpeningShowsTheListAsItIsThen) {
  TempFolder browser{"navig"};
  std::vector<std::string> projects;
  for (const char* name : {"Alpha", "Bravo", "Charlie"}) {
    ::CreateDirectoryA((folder.Path() + name).c_str(), nullptr);
    projects.push_back(folder.Path() + name + "\\projet.kvp");
    WriteFileText(projects.back(), ProjectHeader(512, name));
  }
  ASSERT_TRUE(RestartWithLoggingBrowser(browser));
  const std::string log = browser.Path() + "korv98.log";
  auto choose = [&](const std::string& list, char entry) {
    WriteFileText(folder.Path() + "webs.dat", list);
    const std::size_t before = ReadFileText(log).size();
    HWND menu = OpenMenu();
    if (!menu) return std::string("no menu");
    Choose(menu, 'w');
    Choose(menu, entry);
    if (!WaitFor([&] { return ReadFileText(log).size() > before; }, 15000)) return std::string("nothing opened");
    MenuGone();
    return ReadFileText(log).substr(before);
  };
  const std::string first = choose(projects[0] + "\r\n" + projects[1] + "\r\n", '2');
  EXPECT_NE(first.find("Bravo\\_accueil.htm"), std::string::npos) << first;
  const std::string shorter = choose(projects[2] + "\r\n", '1');
  EXPECT_NE(shorter.find("Charlie\\_accueil.htm"), std::string::npos) << shorter;
  const std::string longer = choose(projects[1] + "\r\n" + projects[0] + "\r\n" + projects[2] + "\r\n", '3');
  EXPECT_NE(longer.find("Charlie\\_accueil.htm"), std::string::npos) << longer;
  const std::string reordered = choose(projects[1] + "\r\n" + projects[0] + "\r\n", '2');
  EXPECT_NE(reordered.find("Alpha\\_accueil.htm"), std::string::npos) << reordered;
}
