// The popup menu, the Webs submenu and the tray icon of a TWebSched living in
// this test program, with the real menu and icons linked from the resources.
// Uses the real win.ini work folder, schedule key, Run value and tray.
#include <windows.h>
#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "app/ProjectList.h"
#include "app/Projects.h"
#include "res/resource.h"
#include "sched/CaptureApp.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadWakeUp.h"
#include "tests/support/TestSupport.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
std::string MenuText(HMENU menu, int position) {
  char text[512] = {};
  int n = ::GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return std::string(text, n > 0 ? n : 0);
}

UINT StateFlags(HMENU menu, UINT item, UINT by) { return ::GetMenuState(menu, item, by) & 0xFF; }

class TrayTest : public ::testing::Test {
protected:
  void SetUp() override {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    SetWorkPath(folder.Path());
    sched = std::make_unique<TWebSched>();
    WebSched = sched.get();
  }
  void TearDown() override {
    if (sched && sched->Handle) ::DestroyWindow(sched->Handle);
    sched.reset();
    WebSched = nullptr;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }

  void SetWorkPath(const std::string& path) const { workPath_.Set(path); }
  void WriteList(const std::vector<std::string>& paths, const char* end = "\r\n") const {
    WriteProjectList(folder.Path(), paths, end);
  }
  std::string Project(const std::string& name, int version, const std::string& title) const {
    return WriteProject(folder.Path(), name, title, version);
  }
  // The browser is chosen when the scheduler is made.
  void RemakeWithBrowser(const LoggingBrowser& browser) {
    WriteBrowserChoice(folder.Path(), browser.exe);
    sched = std::make_unique<TWebSched>();
    WebSched = sched.get();
  }

  // The real popup from the resources, prepared as the right click does.
  struct LoadedMenu {
    UniqueHmenu menu{::LoadMenuA(::GetModuleHandleA(nullptr), "WEBSCHEDMENU")};
    HMENU Popup() const { return ::GetSubMenu(menu.Get(), 0); }
    HMENU Webs() const { return ::GetSubMenu(Popup(), 1); }
  };

  TempFolder folder{"tray"};
  std::unique_ptr<TWebSched> sched;

private:
  ScopedWorkPath workPath_;
};
}  // namespace

TEST_F(TrayTest, WebsEntriesNumberedAndCutAsTheListAndHeadersSay) {
  const std::string t30(30, 'x');
  std::vector<std::string> list = {
      Project("v511", 511, "Version 511"),
      Project("v512", 512, "Version 512"),
      Project("neg", 0x8000, "Negative version"),
      folder.Path() + "gone\\gone.kvp",
      "",
      Project("t30", 600, t30),
      Project("t31", 600, t30 + "Y"),
      Project("amp", 512, "R&D caf\xE9"),
      Project("nine", 512, "Neuf"),
      Project("ten", 512, "Dix"),
  };
  WriteList(list);
  LoadedMenu m;
  ASSERT_NE(m.Popup(), nullptr);
  EXPECT_EQ(sched->FillProjectMenu(m.Webs()), 10);
  EXPECT_EQ(sched->Projects, list);

  const std::vector<std::string> expected = {
      "&1 Version 511", "&2 Version 512",    "&3 Negative version", "&4 ",     "&5 ",
      "&6 " + t30,      "&7 " + t30 + "...", "&8 R&D caf\xE9",      "&9 Neuf", "&10 Dix",
  };
  ASSERT_EQ(::GetMenuItemCount(m.Webs()), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(MenuText(m.Webs(), i), expected[i]) << "entry " << i;
    EXPECT_EQ(::GetMenuItemID(m.Webs(), i), static_cast<UINT>(IDM_PROJECT_FIRST + i)) << "entry " << i;
    EXPECT_EQ(StateFlags(m.Webs(), i, MF_BYPOSITION), static_cast<UINT>(MF_STRING)) << "entry " << i;
  }
}

TEST_F(TrayTest, WorkPathIsAPrefixWithoutSeparator) {
  const std::string prefix = folder.Path() + "Data";
  WriteProjectList(prefix, {Project("p", 512, "Prefixed")});
  SetWorkPath(prefix);
  LoadedMenu m;
  EXPECT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Prefixed");
}

TEST_F(TrayTest, NoWorkFolderMissingOrLockedListGiveADisabledWebsEntry) {
  LoadedMenu m;
  SetWorkPath("");
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(::GetMenuItemCount(m.Webs()), 0);
  EXPECT_EQ(StateFlags(m.Popup(), 1, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | MF_DISABLED))
      << "disabled without the grayed flag";

  SetWorkPath(folder.Path());
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(::GetMenuItemCount(m.Webs()), 0) << "no webs.dat";
  EXPECT_EQ(StateFlags(m.Popup(), 1, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | MF_DISABLED));

  WriteList({Project("a", 512, "A")});
  {
    UniqueFile held{
        ::CreateFileA((folder.Path() + "webs.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(held);
    sched->PrepareMenu(m.Popup());
    EXPECT_EQ(::GetMenuItemCount(m.Webs()), 0) << "webs.dat held by another program";
    EXPECT_EQ(StateFlags(m.Popup(), 1, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | MF_DISABLED));
  }
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(::GetMenuItemCount(m.Webs()), 1);
  EXPECT_EQ(StateFlags(m.Popup(), 1, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | MF_ENABLED));
}

TEST_F(TrayTest, CaptureAppRunningGraysTheLoadEntry) {
  LoadedMenu m;
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(StateFlags(m.Popup(), IDM_LOAD_CAPTURE_APP, MF_BYCOMMAND), static_cast<UINT>(MF_ENABLED));
  {
    UniqueHandle mutex{::CreateMutexA(nullptr, FALSE, InstanceMutexName(kCaptureAppName).c_str())};
    ASSERT_TRUE(mutex);
    sched->PrepareMenu(m.Popup());
    EXPECT_EQ(StateFlags(m.Popup(), IDM_LOAD_CAPTURE_APP, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED | MF_DISABLED));
  }
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(StateFlags(m.Popup(), IDM_LOAD_CAPTURE_APP, MF_BYCOMMAND), static_cast<UINT>(MF_ENABLED));
}

TEST_F(TrayTest, SuspendCommandChecksTheEntrySwitchesIconAndTooltipAtOnce) {
  ASSERT_TRUE(WriteSchedule(kStateMinimised, 0));
  ASSERT_TRUE(sched->CreateHiddenWindow());
  ASSERT_TRUE(sched->Scheduler);
  const UINT id = kTrayIconId;
  EXPECT_TRUE(TrayHasIcon(sched->Handle, id)) << "the icon was added when the window was created";
  LoadedMenu m;
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(StateFlags(m.Popup(), IDM_SUSPEND, MF_BYCOMMAND), static_cast<UINT>(MF_UNCHECKED));

  TMessage command{WM_COMMAND, IDM_SUSPEND, 0, 0};
  sched->WndProc(command);
  EXPECT_EQ(sched->CurrentIconOffset.load(), 8);
  char tip[64];
  sched->BuildTooltip(tip);
  EXPECT_STREQ(tip, "<Gestionnaire suspendu>");
  EXPECT_EQ(sched->Scheduler->State(), kStateSuspended | kStateMinimised) << "bit 1 is carried over";
  EXPECT_EQ(ReadSchedule().State.value_or(0xEE), kStateSuspended | kStateMinimised);
  sched->PrepareMenu(m.Popup());
  EXPECT_EQ(StateFlags(m.Popup(), IDM_SUSPEND, MF_BYCOMMAND), static_cast<UINT>(MF_CHECKED));

  sched->WndProc(command);
  EXPECT_EQ(sched->CurrentIconOffset.load(), 0);
  sched->BuildTooltip(tip);
  // clang-format off
  EXPECT_STREQ(tip, "<Aucune t\xE2" "che en attente d'\xE9" "xecution>");
  // clang-format on
  EXPECT_EQ(sched->Scheduler->State(), kStateMinimised);
  EXPECT_TRUE(TrayHasIcon(sched->Handle, id));
}

TEST_F(TrayTest, StartedSuspendedShowsTheActiveIconUntilTheFirstWakeUp) {
  ASSERT_TRUE(WriteSchedule(kStateSuspended, 0));
  ASSERT_TRUE(sched->CreateHiddenWindow());
  EXPECT_EQ(sched->CurrentIconOffset.load(), 0) << "always added with icon 1000";
  char tip[64];
  sched->BuildTooltip(tip);
  EXPECT_STREQ(tip, "<Gestionnaire suspendu>") << "the tooltip is right from the start";
  EXPECT_TRUE(WaitFor([&] { return sched->CurrentIconOffset.load() == 8; }, 5000))
      << "offset " << sched->CurrentIconOffset.load();
}

TEST_F(TrayTest, TooltipNamesTheNextCapture) {
  // 1 January 2100, 08:30:00: far enough never to fall due.
  ASSERT_TRUE(WriteSchedule(0, 73051.0 + 8.5 / 24));
  ASSERT_TRUE(sched->CreateHiddenWindow());
  const std::string next = sched->Scheduler->NextCaptureText();
  ASSERT_FALSE(next.empty());
  char tip[64];
  sched->BuildTooltip(tip);
  EXPECT_EQ(std::string(tip), "<Prochaine capture le " + next + ">");
  EXPECT_NE(std::string(tip).find("2100 \xE0 08:30:00"), std::string::npos) << tip;
}

namespace {
// Its window's creation raises once the scheduler runs and the icon is in the
// tray, as an allocation that fails at that point would.
class CreationRaises : public TWebSched {
public:
  void WndProc(TMessage& Message) override {
    TWebSched::WndProc(Message);
    if (Message.Msg != WM_CREATE) return;
    window = Handle;
    iconId = kTrayIconId;
    iconAdded = TrayHasIcon(window, iconId);
    throw std::bad_alloc();
  }
  HWND window = nullptr;
  UINT iconId = 0;
  bool iconAdded = false;
};
}  // namespace

TEST_F(TrayTest, WindowCreationThatRaisesLeavesNoWindowIconOrScheduler) {
  auto failing = std::make_unique<CreationRaises>();
  WebSched = failing.get();
  EXPECT_EQ(failing->Run(), 0) << "as when the window cannot be made";
  ASSERT_TRUE(failing->iconAdded) << "the raise came after the icon was added";
  EXPECT_EQ(failing->Handle.load(), nullptr);
  EXPECT_FALSE(::IsWindow(failing->window));
  EXPECT_EQ(failing->Scheduler, nullptr);
  EXPECT_EQ(failing->CurrentIconOffset.load(), -1);
  EXPECT_FALSE(TrayHasIcon(failing->window, failing->iconId));
  WebSched = sched.get();
}

namespace {
// Notes whether an end that arrives inside another one leaves the scheduler
// to the outer one.
class EndsTwice : public TWebSched {
public:
  void WndProc(TMessage& Message) override {
    const bool nested = Message.Msg == WM_DESTROY && ending++ > 0;
    TWebSched::WndProc(Message);
    if (nested) schedulerLeftToTheOuterEnd = Scheduler != nullptr;
    if (Message.Msg == WM_DESTROY) --ending;
  }
  int ending = 0;
  bool schedulerLeftToTheOuterEnd = false;
};

struct SendLater {
  HWND window;
  UINT message;
  HANDLE thenSet;
  static DWORD WINAPI Run(void* self) {
    const auto* job = static_cast<SendLater*>(self);
    ::Sleep(200);
    ::SendNotifyMessageA(job->window, job->message, 0, 0);
    ::Sleep(300);
    ::SetEvent(job->thenSet);
    return 0;
  }
};
}  // namespace

// The end waits for a refresh under way and takes sent messages meanwhile:
// a second end arriving then returns at once, and the first one finishes.
TEST_F(TrayTest, AnEndArrivingInsideAnotherReturnsAtOnce) {
  auto twice = std::make_unique<EndsTwice>();
  WebSched = twice.get();
  ASSERT_TRUE(twice->CreateHiddenWindow());
  HeldWakeUp held;
  twice->Scheduler->SetOnWakeUp(&held, &HeldWakeUp::Code);
  ASSERT_TRUE(WaitFor([&] { return held.inside.load(); }, 5000));
  SendLater second{twice->Handle, WM_DESTROY, held.release.Get()};
  UniqueHandle sender{::CreateThread(nullptr, 0, SendLater::Run, &second, 0, nullptr)};
  ASSERT_TRUE(sender);
  ::DestroyWindow(twice->Handle);
  ::WaitForSingleObject(sender.Get(), 5000);
  EXPECT_TRUE(twice->schedulerLeftToTheOuterEnd) << "the nested end ran and freed the scheduler under the outer one";
  EXPECT_EQ(twice->Scheduler, nullptr) << "the outer end finished";
  twice.reset();
  WebSched = sched.get();
}

TEST_F(TrayTest, OtherCommandsAndMessagesDoNothing) {
  ASSERT_TRUE(sched->CreateHiddenWindow());
  for (WPARAM command : {101u, 102u, 105u, 199u}) {
    TMessage message{WM_COMMAND, command, 0, 7};
    sched->WndProc(message);
    EXPECT_EQ(message.Result, 0) << command;
  }
  TMessage beyond{WM_COMMAND, IDM_PROJECT_FIRST + 5, 0, 0};
  sched->WndProc(beyond);  // no list loaded: nothing to open
  ::SendMessageA(sched->Handle, WM_USER + 1, 0, 0);
  EXPECT_TRUE(::IsWindow(sched->Handle));
  EXPECT_EQ(sched->Scheduler->State(), 0);
}

TEST_F(TrayTest, ProjectCommandsOpenTheHomePageOfTheirLine) {
  LoggingBrowser browser;
  RemakeWithBrowser(browser);
  WriteList({"", folder.Path() + "Musee\\musee.kvp"});
  LoadedMenu m;
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  auto starts = [&] {
    const std::string text = browser.Log();
    return std::count(text.begin(), text.end(), '\n');
  };

  TMessage beyond{WM_COMMAND, IDM_PROJECT_FIRST + 2, 0, 0};
  sched->WndProc(beyond);
  TMessage empty{WM_COMMAND, IDM_PROJECT_FIRST, 0, 0};
  sched->WndProc(empty);
  ASSERT_TRUE(WaitFor([&] { return starts() >= 1; }, 10000)) << browser.Log();
  const std::string first = browser.Log().substr(0, browser.Log().find('\n'));
  EXPECT_NE(first.find("cmd=" + browser.exe + " _accueil.htm"), std::string::npos)
      << "the empty line: no folder in front; the command past the list opened nothing\n"
      << first;

  TMessage second{WM_COMMAND, IDM_PROJECT_FIRST + 1, 0, 0};
  sched->WndProc(second);
  ASSERT_TRUE(WaitFor([&] { return starts() >= 2; }, 10000)) << browser.Log();
  EXPECT_EQ(starts(), 2) << browser.Log();
  EXPECT_NE(browser.Log().find(" " + folder.Path() + "Musee\\_accueil.htm"), std::string::npos)
      << "a vanished project file still opens its folder's page\n"
      << browser.Log();
}

TEST_F(TrayTest, ATitleRewrittenInTheSameTickWithTheSameSizeShowsAtTheNextOpening) {
  const std::string a = Project("a", 512, "Alpha");
  const std::string b = Project("b", 512, "Bravo");
  WriteList({a, b});
  LoadedMenu m;
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Alpha");

  FileTimes before;
  ASSERT_TRUE(GetFileTimes(a, before));
  WriteFileText(a, ProjectHeader(512, "Omega"));
  ASSERT_TRUE(SetFileTimes(a, before)) << "the rewrite's stamp is the one before";
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Omega");

  // An old file whose title is kept: an ordinary rewrite changes its stamp.
  ASSERT_TRUE(AgeFile(b, 3600));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Bravo");
  WriteFileText(b, ProjectHeader(512, "Brave"));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Brave");
  ASSERT_TRUE(AgeFile(b, 3600));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  WriteFileText(b, ProjectHeader(512, "Bravo, le site refait"));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Bravo, le site refait");
}

TEST_F(TrayTest, DeletedAddedAndMovedProjectsShowAsTheListNowSays) {
  const std::string a = Project("a", 512, "Alpha");
  const std::string b = Project("b", 512, "Bravo");
  ASSERT_TRUE(AgeFile(a, 3600) && AgeFile(b, 3600));
  WriteList({a, b});
  LoadedMenu m;
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  ASSERT_EQ(MenuText(m.Webs(), 1), "&2 Bravo");

  ASSERT_TRUE(::DeleteFileA(b.c_str()));
  const std::string c = Project("c", 511, "Charlie");
  WriteList({a, b, c});
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 3);
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 ") << "deleted";
  EXPECT_EQ(MenuText(m.Webs(), 2), "&3 Charlie") << "added";

  WriteFileText(b, ProjectHeader(512, "Bravo"));
  ASSERT_TRUE(AgeFile(b, 3600));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 3);
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Bravo") << "made again, with its old times";
  ASSERT_TRUE(::DeleteFileA(b.c_str()));
  ASSERT_TRUE(::MoveFileA(a.c_str(), b.c_str()));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 3);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 ") << "moved away";
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Alpha") << "moved in, its times unchanged";

  WriteList({c, b, c});
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 3);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Charlie");
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Alpha");
  EXPECT_EQ(MenuText(m.Webs(), 2), "&3 Charlie");
  EXPECT_EQ(sched->Projects, (std::vector<std::string>{c, b, c}));
}

TEST_F(TrayTest, AFileThatCannotBeReadGivesTheEmptyTitleNeverAnOldOne) {
  const std::string a = Project("a", 512, "Alpha");
  {
    UniqueFile writer{::CreateFileA(a.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(writer);
    EXPECT_EQ(ReadProjectTitle(a), "Alpha") << "held open by a writer that lets others read";
  }
  EXPECT_EQ(ReadProjectTitle(folder.Path() + "a"), "") << "a folder is no project file";
  EXPECT_EQ(ReadProjectTitle(""), "");
  WriteList({a});
  LoadedMenu m;
  {
    UniqueFile held{::CreateFileA(a.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
    ASSERT_TRUE(held);
    ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
    EXPECT_EQ(MenuText(m.Webs(), 0), "&1 ") << "held by its writer";
  }
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Alpha") << "released";

  ASSERT_TRUE(AgeFile(a, 3600));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  UniqueFile held{::CreateFileA(a.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
  ASSERT_TRUE(held);
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Alpha") << "unchanged since it was read: the title it holds";
  const std::string header = ProjectHeader(512, "Autre");
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(held.Get(), header.data(), static_cast<DWORD>(header.size()), &written, nullptr));
  ASSERT_TRUE(::FlushFileBuffers(held.Get()));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 ") << "changed by its writer, who holds it: unreadable";
  held.Reset();
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 1);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Autre");
}

TEST_F(TrayTest, DevicesAndPipesInTheListGiveTheEmptyTitleAtOnce) {
  // Before names were judged, reading this pipe held the menu until its
  // server gave up after 15 s, and COM1 (a serial port under Wine too) held
  // it for good. "...\com1.kvp" names the same port.
  StalledPipe pipe("korvtest-" + std::to_string(::GetCurrentProcessId()), 15000);
  ASSERT_TRUE(pipe.Created());
  // clang-format off
  const std::string real = Project("real", 512, "R\xE9" "el");
  // clang-format on
  const std::vector<std::string> list = {
      pipe.Path(), "COM1", "LPT1",        "NUL", "CON", folder.Path() + "com1.kvp", folder.Path() + "aux.kvp",
      "CONOUT$",   "nul:", folder.Path(), real};
  WriteList(list);
  LoadedMenu m;
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), static_cast<int>(list.size()));
  for (int i = 0; i + 1 < static_cast<int>(list.size()); ++i) {
    EXPECT_EQ(MenuText(m.Webs(), i), "&" + std::to_string(i + 1) + " ") << list[i];
  }
  // clang-format off
  EXPECT_EQ(MenuText(m.Webs(), static_cast<int>(list.size()) - 1), "&11 R\xE9" "el");
  // clang-format on
  EXPECT_FALSE(pipe.Connected()) << "the pipe was never opened";
  EXPECT_EQ(ReadProjectTitle(pipe.Path()), "");
  EXPECT_EQ(ReadProjectTitle("COM1"), "");
}

// The right click's path: the Webs entry opens, its last entry is the
// 10,000th line, and choosing it opens that line's page.
TEST_F(TrayTest, AListOfHundredsOfMegabytesShowsOnlyItsFirstEntries) {
  LoggingBrowser browser;
  RemakeWithBrowser(browser);
  const std::string list = folder.Path() + "webs.dat";
  ASSERT_TRUE(WriteHugeList(list, folder.Path(), kMaxProjects + 100, 200));
  PROCESS_MEMORY_COUNTERS before{};
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before));
  LoadedMenu m;
  sched->PrepareMenu(m.Popup());
  PROCESS_MEMORY_COUNTERS after{};
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after));
  ::DeleteFileA(list.c_str());
  EXPECT_EQ(StateFlags(m.Popup(), 1, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | MF_ENABLED));
  ASSERT_EQ(sched->Projects.size(), kMaxProjects);
  EXPECT_EQ(sched->Projects.back(), folder.Path() + "p" + std::to_string(kMaxProjects) + "\\p.kvp");
  ASSERT_EQ(::GetMenuItemCount(m.Webs()), static_cast<int>(kMaxProjects));
  const int last = static_cast<int>(kMaxProjects) - 1;
  EXPECT_EQ(MenuText(m.Webs(), last), "&" + std::to_string(kMaxProjects) + " ");
  EXPECT_EQ(::GetMenuItemID(m.Webs(), last), static_cast<UINT>(IDM_PROJECT_FIRST + last));
  const double grownMb = (static_cast<double>(after.PeakPagefileUsage) - before.PeakPagefileUsage) / (1 << 20);
  EXPECT_LT(grownMb, 64.0) << "peak private bytes grew by " << grownMb << " MB reading a 200 MB list";

  // As the menu sends it: the command in the low word.
  TMessage chosen{WM_COMMAND, MAKEWPARAM(IDM_PROJECT_FIRST + last, 0), 0, 0};
  sched->WndProc(chosen);
  ASSERT_TRUE(WaitFor([&] { return !browser.Log().empty(); }, 15000)) << "the browser started";
  EXPECT_NE(browser.Log().find(folder.Path() + "p" + std::to_string(kMaxProjects) + "\\_accueil.htm"),
            std::string::npos)
      << browser.Log();
}

TEST_F(TrayTest, RefillingRewritesEveryEntryThatDiffersAndOnlyThose) {
  std::vector<std::string> list;
  for (const char* name : {"a", "b", "c", "d", "e"}) list.push_back(Project(name, 512, std::string("Site ") + name));
  WriteList(list);
  LoadedMenu m;
  ASSERT_EQ(MenuText(m.Webs(), 0), "&Item") << "the resource's placeholder";
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 5);
  ASSERT_EQ(::GetMenuItemCount(m.Webs()), 5);
  // What an opening may leave behind, and what no opening should.
  ASSERT_TRUE(::ModifyMenuA(m.Webs(), 1, MF_BYPOSITION | MF_STRING, IDM_PROJECT_FIRST + 1, "&2 autre"));
  ::CheckMenuItem(m.Webs(), 2, MF_BYPOSITION | MF_CHECKED);
  ::EnableMenuItem(m.Webs(), 3, MF_BYPOSITION | MF_GRAYED);
  ASSERT_TRUE(::ModifyMenuA(m.Webs(), 4, MF_BYPOSITION | MF_STRING, 999, "&5 Site e"));
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 5);
  for (int i = 0; i < 5; ++i) {
    const std::string name(1, static_cast<char>('a' + i));
    EXPECT_EQ(MenuText(m.Webs(), i), "&" + std::to_string(i + 1) + " Site " + name);
    EXPECT_EQ(::GetMenuItemID(m.Webs(), i), static_cast<UINT>(IDM_PROJECT_FIRST + i)) << "entry " << i;
    EXPECT_EQ(StateFlags(m.Webs(), i, MF_BYPOSITION), static_cast<UINT>(MF_STRING)) << "entry " << i;
  }

  WriteList({list[4], list[0]});
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 2);
  ASSERT_EQ(::GetMenuItemCount(m.Webs()), 2);
  EXPECT_EQ(MenuText(m.Webs(), 0), "&1 Site e");
  EXPECT_EQ(MenuText(m.Webs(), 1), "&2 Site a");
  WriteList({list[1], list[2], list[3]});
  ASSERT_EQ(sched->FillProjectMenu(m.Webs()), 3);
  ASSERT_EQ(::GetMenuItemCount(m.Webs()), 3);
  EXPECT_EQ(MenuText(m.Webs(), 2), "&3 Site d");
  EXPECT_EQ(::GetMenuItemID(m.Webs(), 2), static_cast<UINT>(IDM_PROJECT_FIRST + 2));
  SetWorkPath("");
  EXPECT_EQ(sched->FillProjectMenu(m.Webs()), 0);
  EXPECT_EQ(::GetMenuItemCount(m.Webs()), 0);
}
