// The whole path from outside: the real KorvSchd.exe with a work folder, a
// project and a stand-in browser serving DDE; the site chosen in the tray menu
// reaches the browser as a WWW_OpenURL request, and the cursor that the
// program showed meanwhile is put back. Uses the real work folder and tray.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "tests/support/TestSupport.h"
#include "tests/win/BrowserStubHelper.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
// The cursor of another thread's input state: shared with ours while the two
// inputs are attached.
class AttachedInput {
public:
  explicit AttachedInput(DWORD thread) : thread_(thread) {
    attached_ = ::AttachThreadInput(::GetCurrentThreadId(), thread_, TRUE) != FALSE;
  }
  ~AttachedInput() {
    if (attached_) ::AttachThreadInput(::GetCurrentThreadId(), thread_, FALSE);
  }
  bool Attached() const { return attached_; }

private:
  DWORD thread_;
  bool attached_;
};
}  // namespace

TEST(BrowserProgramTest, ChosenSiteReachesTheRunningBrowserOverDde) {
  TempFolder folder{"e2e"};
  ScopedWorkPath workPath;
  ::CreateDirectoryA((folder.Path() + "Mes Sites").c_str(), nullptr);
  ::CreateDirectoryA((folder.Path() + "Mes Sites\\Mus\xE9" "e").c_str(), nullptr);
  const std::string project = folder.Path() + "Mes Sites\\Mus\xE9" "e\\projet.kvp";
  WriteFileText(project, ProjectHeader(512, "Mus\xE9" "e"));
  WriteFileText(folder.Path() + "webs.dat", project + "\r\n");
  StubBrowser browser("--serve --delay 1500");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  WriteFileText(folder.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + browser.Exe() + "\r\n");
  workPath.Set(folder.Path());

  SchedulerUnderTest program;
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  const DWORD mainThread = ::GetWindowThreadProcessId(program.window, nullptr);
  program.program.Post(program.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
  HWND menu = program.program.FindWindowOfClass("#32768", 10000);
  ASSERT_NE(menu, nullptr);
  program.program.Post(menu, WM_CHAR, 'w');
  program.program.Post(menu, WM_CHAR, '1');
  if (!WaitFor([&] { return browser.Count("request item=") > 0; }, 30000)) {
    program.program.Post(program.window, WM_CANCELMODE);
    FAIL() << "no request reached the browser\n" << browser.Log();
  }
  const std::string page = folder.Path() + "Mes Sites\\Mus\xE9" "e\\_accueil.htm";
  EXPECT_EQ(browser.Lines("request item="),
            std::vector<std::string>{"request item=\"" + page + "\",,0xffffffff,0x00000000,,,"});
  // The browser holds its answer back for a while: the program waits with
  // another cursor (its own hourglass: cursor handles are per process, so
  // only the change can be seen from here), then puts the previous one back.
  // The exact restore is checked in process by the browser tests.
  {
    AttachedInput input(mainThread);
    ASSERT_TRUE(input.Attached());
    const HCURSOR during = ::GetCursor();
    ASSERT_TRUE(WaitFor([&] { return ::GetCursor() != during; }, 10000))
        << "cursor " << during << " never changed back";
    const HCURSOR after = ::GetCursor();
    EXPECT_NE(after, nullptr);
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(::GetCursor(), after) << "the cursor stays once the page is open";
  }
  EXPECT_EQ(browser.Count("start "), 1u) << "no fallback start\n" << browser.Log();
  EXPECT_EQ(program.Close(), 0u);
  DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
}

TEST(BrowserProgramTest, PageTooLongForADdeRequestIsOpenedByTheCommandLine) {
  // The request's item is the page and 28 characters; past 255 in all it
  // gets no DDE string handle, so it cannot be sent.
  TempFolder folder{"longpage"};
  ScopedWorkPath workPath;
  const std::string site = folder.Path() + std::string(230 - folder.Path().size(), 's');
  ASSERT_TRUE(::CreateDirectoryA(site.c_str(), nullptr)) << site;
  const std::string page = site + "\\_accueil.htm";
  ASSERT_GT(page.size() + 28, 255u);
  WriteFileText(site + "\\projet.kvp", ProjectHeader(512, "Long"));
  WriteFileText(folder.Path() + "webs.dat", site + "\\projet.kvp\r\n");
  StubBrowser browser("--serve");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  WriteFileText(folder.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + browser.Exe() + "\r\n");
  workPath.Set(folder.Path());

  SchedulerUnderTest program;
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  program.program.Post(program.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
  HWND menu = program.program.FindWindowOfClass("#32768", 10000);
  ASSERT_NE(menu, nullptr);
  program.program.Post(menu, WM_CHAR, 'w');
  program.program.Post(menu, WM_CHAR, '1');
  EXPECT_TRUE(WaitFor([&] { return browser.Count("page=") > 0; }, 30000))
      << "the browser was not started with the page\n" << browser.Log();
  EXPECT_EQ(browser.Lines("page="), std::vector<std::string>{"page=" + page}) << browser.Log();
  EXPECT_GE(browser.Count("connect topic=WWW_OpenURL"), 1u) << "the conversation was made first\n" << browser.Log();
  EXPECT_EQ(browser.Count("request item="), 0u) << browser.Log();
  EXPECT_EQ(program.Close(), 0u);
  DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
}
