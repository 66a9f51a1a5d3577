// The whole path from outside: the real KorvSchd.exe with a work folder, a
// project and a stand-in browser serving DDE; the site chosen in the tray menu
// reaches the browser as a WWW_OpenURL request, and the cursor that the
// program showed meanwhile is put back. Uses the real work folder and tray.
#include <windows.h>
#include <gtest/gtest.h>

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

class BrowserProgramTest : public ::testing::Test {
protected:
  void TearDown() override { DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName); }
  // A work folder of one project, in `site`, and the browser named in
  // Korvamo.ini; then the program started and the site chosen in its menu.
  bool StartAndChooseTheSite(const std::string& site, const StubBrowser& browser) {
    WriteProjectList(folder.Path(), {WriteProject(folder.Path(), site, "Site")});
    WriteBrowserChoice(folder.Path(), browser.Exe());
    workPath.Set(folder.Path());
    if (!program.Start(folder.CopyProgram("KorvSchd.exe"))) return false;
    HWND shown = menu.Open();
    if (shown) menu.Type(shown, "w1");
    return shown != nullptr;
  }

  TempFolder folder{"e2e"};
  ScopedWorkPath workPath;
  SchedulerUnderTest program;
  TrayMenu menu{program};
};
}  // namespace

TEST_F(BrowserProgramTest, ChosenSiteReachesTheRunningBrowserOverDde) {
  StubBrowser browser("--serve --delay 1500");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  // clang-format off
  ASSERT_TRUE(StartAndChooseTheSite("Mes Sites\\Mus\xE9" "e", browser));
  // clang-format on
  const DWORD mainThread = ::GetWindowThreadProcessId(program.window, nullptr);
  ASSERT_TRUE(WaitFor([&] { return browser.Count("request item=") > 0; }, 30000)) << "no request reached the browser\n"
                                                                                  << browser.Log();
  // clang-format off
  const std::string page = folder.Path() + "Mes Sites\\Mus\xE9" "e\\_accueil.htm";
  // clang-format on
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
}

TEST_F(BrowserProgramTest, PageTooLongForADdeRequestIsOpenedByTheCommandLine) {
  // The request's item is the page and 28 characters; past 255 in all it
  // gets no DDE string handle, so it cannot be sent.
  const std::string site(230 - folder.Path().size(), 's');
  const std::string page = folder.Path() + site + "\\_accueil.htm";
  ASSERT_GT(page.size() + 28, 255u);
  StubBrowser browser("--serve");
  ASSERT_TRUE(browser.StartServing()) << browser.Log();
  ASSERT_TRUE(StartAndChooseTheSite(site, browser));
  EXPECT_TRUE(WaitFor([&] { return browser.Count("page=") > 0; }, 30000))
      << "the browser was not started with the page\n"
      << browser.Log();
  EXPECT_EQ(browser.Lines("page="), std::vector<std::string>{"page=" + page}) << browser.Log();
  EXPECT_GE(browser.Count("connect topic=WWW_OpenURL"), 1u) << "the conversation was made first\n" << browser.Log();
  EXPECT_EQ(browser.Count("request item="), 0u) << browser.Log();
  EXPECT_EQ(program.Close(), 0u);
}
