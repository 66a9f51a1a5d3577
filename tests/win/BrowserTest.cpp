// TBrowser: choosing the browser (Korvamo.ini of the work folder, else the
// ".htm" association, both written for real in the test prefix and restored)
// and opening pages in the stand-in browser over DDE or its command line.
#include <windows.h>
#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "browser/Browser.h"
#include "dde/DdemanEx.h"
#include "tests/support/TestSupport.h"
#include "tests/win/BrowserStubHelper.h"

using namespace korvtest;

namespace {
std::string ProfileWorkPath(bool& present) {
  char buffer[512] = {};
  present = ::GetProfileStringA("KORVAMO", "WORKPATH", "\x01", buffer, sizeof buffer) != 1 || buffer[0] != 1;
  return buffer;
}

// Sets or removes win.ini's WORKPATH for one test and puts the old one back.
class WorkPathSetting {
public:
  WorkPathSetting() { old_ = ProfileWorkPath(present_); }
  ~WorkPathSetting() { ::WriteProfileStringA("KORVAMO", "WORKPATH", present_ ? old_.c_str() : nullptr); }
  void Set(const std::string& folder) { ::WriteProfileStringA("KORVAMO", "WORKPATH", folder.c_str()); }
  void Remove() { ::WriteProfileStringA("KORVAMO", "WORKPATH", nullptr); }

private:
  std::string old_;
  bool present_ = false;
};

void DeleteTree(HKEY root, const std::string& key) {
  HKEY raw = nullptr;
  if (::RegOpenKeyA(root, key.c_str(), &raw) != ERROR_SUCCESS) return;
  UniqueHkey k(raw);
  char name[512];
  while (::RegEnumKeyA(k.Get(), 0, name, sizeof name) == ERROR_SUCCESS) DeleteTree(k.Get(), name);
  k.Reset();
  ::RegDeleteKeyA(root, key.c_str());
}

// The ".htm" association under HKEY_CLASSES_ROOT, restored at the end.
class HtmAssociation {
public:
  HtmAssociation() {
    LONG size = sizeof old_;
    hadOld_ = ::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", old_, &size) == ERROR_SUCCESS;
    static int counter = 0;
    className_ = "KorvTest.Page" + std::to_string(::GetCurrentProcessId()) + "." + std::to_string(++counter);
  }
  ~HtmAssociation() {
    DeleteTree(HKEY_CLASSES_ROOT, className_);
    if (hadOld_) {
      ::RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, old_, lstrlenA(old_));
    } else {
      DeleteTree(HKEY_CLASSES_ROOT, ".htm");
    }
  }
  void SetClass(const std::string& name) {
    ::RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, name.c_str(), static_cast<DWORD>(name.size()));
  }
  // ".htm" names a fresh class whose open command is the given text.
  void SetCommand(const std::string& command) {
    SetClass(className_);
    ::RegSetValueA(HKEY_CLASSES_ROOT, (className_ + "\\shell\\open\\command").c_str(), REG_SZ, command.c_str(),
                   static_cast<DWORD>(command.size()));
  }
  const std::string& ClassName() const { return className_; }

private:
  char old_[512] = {};
  bool hadOld_ = false;
  std::string className_;
};

class DiscoveryTest : public ::testing::Test {
protected:
  std::string MakeExe(const std::string& relative) {
    std::string path = folder.Path() + relative;
    std::string dir = path.substr(0, path.find_last_of('\\'));
    ::CreateDirectoryA(dir.c_str(), nullptr);
    WriteFileText(path, "MZ");
    return path;
  }
  std::string ChosenBrowser() {
    TBrowser browser(nullptr);
    return browser.BrowserPath();
  }
  WorkPathSetting workPath;
  HtmAssociation htm;
  TempFolder folder{"discovery"};
};
}  // namespace

TEST_F(DiscoveryTest, ConfiguredBrowserWinsExactlyAsWritten) {
  std::string configured = MakeExe("Web\\Configured.EXE");
  htm.SetCommand("\"" + MakeExe("Other\\other.exe") + "\" \"%1\"");
  WriteFileText(folder.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + configured + "\r\n");
  workPath.Set(folder.Path());
  EXPECT_EQ(ChosenBrowser(), configured);
}

TEST_F(DiscoveryTest, UnusableSettingLeavesTheChoiceToTheAssociation) {
  std::string associated = MakeExe("Other\\other.exe");
  htm.SetCommand("\"" + associated + "\" -nohome \"%1\"");
  workPath.Set(folder.Path());
  const std::string ini = folder.Path() + "Korvamo.ini";
  for (std::string setting : {"[Browser]\r\nExeName=" + folder.Path() + "Other\r\n",  // a folder
                              "[Browser]\r\nExeName=" + folder.Path() + "missing.exe\r\n",
                              "[Browser]\r\nExeName=" + folder.Path() + "Other\\*.exe\r\n",
                              "[Other]\r\nExeName=" + associated + "x\r\n", std::string()}) {
    WriteFileText(ini, setting);
    EXPECT_EQ(ChosenBrowser(), associated) << setting;
  }
  ::DeleteFileA(ini.c_str());
  EXPECT_EQ(ChosenBrowser(), associated) << "no Korvamo.ini";
  workPath.Remove();
  WriteFileText(ini, "[Browser]\r\nExeName=" + MakeExe("Web\\configured.exe") + "\r\n");
  EXPECT_EQ(ChosenBrowser(), associated) << "no WORKPATH: the settings file is not consulted";
}

TEST_F(DiscoveryTest, AssociationCommandVariants) {
  workPath.Remove();
  std::string spaced = MakeExe("Program Files\\Web Browser.exe");
  htm.SetCommand("\"" + spaced + "\" -nohome \"%1\"");
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), spaced);

  std::string gone = MakeExe("Gone\\gone.exe");
  htm.SetCommand(gone);
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), gone);
  ::DeleteFileA(gone.c_str());
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), "") << "vanished executable";

  // A command stored without its terminating zero is read whole all the same.
  std::string bare = MakeExe("Bare\\bare.exe");
  htm.SetCommand("x");
  HKEY raw = nullptr;
  ASSERT_EQ(::RegOpenKeyA(HKEY_CLASSES_ROOT, (htm.ClassName() + "\\shell\\open\\command").c_str(), &raw),
            ERROR_SUCCESS);
  UniqueHkey command(raw);
  ::RegSetValueExA(command.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(bare.data()),
                   static_cast<DWORD>(bare.size()));
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), bare);

  htm.SetClass(htm.ClassName() + ".nokey");
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), "") << "class without shell\\open";
  htm.SetCommand("");
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), "") << "empty command";
  DeleteTree(HKEY_CLASSES_ROOT, ".htm");
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), "") << "no .htm key";
}

TEST_F(DiscoveryTest, ShortNamePathComesBackWithLongNamesAndTheDriveAsWritten) {
  workPath.Remove();
  std::string longPath = MakeExe("Long Folder Name\\longbrowsername.exe");
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH), 0u);
  std::string shortText = shortPath;
  ASSERT_EQ(shortText.find(' '), std::string::npos) << shortText;
  char fullLong[MAX_PATH] = {};
  ASSERT_GT(::GetLongPathNameA(shortPath, fullLong, MAX_PATH), 0u);
  // The drive part is kept as written: write it in lower case.
  shortText[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(shortText[0])));
  htm.SetCommand(shortText + " %1");
  std::string expected = std::string(1, shortText[0]) + (fullLong + 1);
  EXPECT_EQ(TBrowser::FindDefaultBrowser(), expected) << "from " << shortText;
}

TEST_F(DiscoveryTest, ClassNameTooLongForTheBufferYieldsNoBrowser) {
  workPath.Remove();
  // 246 characters leave no room for "\shell\open"; 256 fill the buffer; 257
  // do not fit at all. None may write past the buffer, none gives a browser.
  for (size_t length : {246u, 256u, 257u, 400u}) {
    htm.SetClass(std::string(length, 'k'));
    EXPECT_EQ(TBrowser::FindDefaultBrowser(), "") << length;
  }
}

namespace {
// A browser configured through Korvamo.ini that points at a stand-in.
class OpenPageTest : public ::testing::Test {
protected:
  std::unique_ptr<TBrowser> BrowserFor(const StubBrowser& stub) {
    WriteFileText(settings.Path() + "Korvamo.ini", "[Browser]\r\nExeName=" + stub.Exe() + "\r\n");
    workPath.Set(settings.Path());
    auto browser = std::make_unique<TBrowser>(nullptr);
    EXPECT_EQ(browser->BrowserPath(), stub.Exe());
    EXPECT_EQ(browser->ServiceName(), stub.Service());
    return browser;
  }
  // The same for a stand-in that serves DDE from the start.
  std::unique_ptr<TBrowser> ServingBrowserFor(StubBrowser& stub) {
    EXPECT_TRUE(stub.StartServing()) << stub.Log();
    return BrowserFor(stub);
  }
  WorkPathSetting workPath;
  TempFolder settings{"settings"};
  const std::string page = "C:\\Mes Sites\\Site un\\_accueil.htm";
};

std::string Item(const std::string& url) { return "request item=\"" + url + "\",,0xffffffff,0x00000000,,,"; }
}  // namespace

TEST_F(OpenPageTest, RunningBrowserGetsTheRequestAndTheCursorComesBack) {
  StubBrowser stub("--serve");
  auto browser = ServingBrowserFor(stub);
  HCURSOR before = ::LoadCursorA(nullptr, IDC_CROSS);
  ::SetCursor(before);
  browser->OpenPage(page);
  EXPECT_EQ(::GetCursor(), before);
  auto requests = stub.Lines("request item=");
  ASSERT_EQ(requests.size(), 1u) << stub.Log();
  EXPECT_EQ(requests[0], Item(page));
  EXPECT_EQ(stub.Count("start "), 1u) << "no fallback\n" << stub.Log();
  EXPECT_EQ(browser->Conversation(), nullptr);
}

TEST_F(OpenPageTest, BrowserThatAnswersNothingCountsAsDone) {
  StubBrowser stub("--serve --answer none");
  auto browser = ServingBrowserFor(stub);
  browser->OpenPage(page);
  EXPECT_EQ(stub.Count("request item="), 1u) << stub.Log();
  EXPECT_EQ(stub.Count("start "), 1u) << "no fallback\n" << stub.Log();
}

TEST_F(OpenPageTest, BrowserStartedByItsServiceNameIsAskedAtOnce) {
  StubBrowser stub("--serve --life 20000");
  auto browser = BrowserFor(stub);
  char previous[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, previous);
  ::SetCurrentDirectoryA(stub.Folder().c_str());
  browser->OpenPage(page);
  ::SetCurrentDirectoryA(previous);
  auto starts = stub.Lines("start ");
  ASSERT_EQ(starts.size(), 1u) << stub.Log();
  EXPECT_NE(starts[0].find("show=7 cmd=" + stub.Service()), std::string::npos) << starts[0];
  EXPECT_EQ(stub.Lines("request item="), std::vector<std::string>{Item(page)}) << stub.Log();
}

TEST_F(OpenPageTest, WithoutServerTheCommandLineGetsThePageWholeAsOneArgument) {
  StubBrowser stub("");
  auto browser = BrowserFor(stub);
  browser->OpenPage(page);
  ASSERT_TRUE(WaitFor([&] { return stub.Count("exit") == 1; }, 10000)) << stub.Log();
  auto starts = stub.Lines("start ");
  ASSERT_EQ(starts.size(), 1u) << stub.Log();
  EXPECT_NE(starts[0].find("show=1 cmd=" + stub.Exe() + " \"" + page + "\""), std::string::npos) << starts[0];
  const std::string url = "http://example.invalid/" + std::string(300, 'x') + ".htm";
  browser->OpenPage(url);
  ASSERT_TRUE(WaitFor([&] { return stub.Count("exit") == 2; }, 10000)) << stub.Log();
  EXPECT_EQ(stub.Lines("page="), (std::vector<std::string>{"page=" + page, "page=" + url})) << stub.Log();
}

namespace {
TBrowser* nestedBrowser = nullptr;
LRESULT CALLBACK NestingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APP) {
    nestedBrowser->OpenPage("C:\\second.htm");
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(OpenPageTest, PageAskedForDuringAnOpeningWaitsItsTurn) {
  StubBrowser stub("--serve");
  auto browser = ServingBrowserFor(stub);
  WNDCLASSA wc{};
  wc.lpfnWndProc = NestingProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "KorvNestingTest";
  ::RegisterClassA(&wc);
  HWND window = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  nestedBrowser = browser.get();
  ::PostMessageA(window, WM_APP, 0, 0);  // dispatched by the opening's first pump
  browser->OpenPage("C:\\first.htm");
  auto requests = stub.Lines("request item=");
  ASSERT_EQ(requests.size(), 2u) << stub.Log();
  EXPECT_EQ(requests[0], Item("C:\\first.htm"));
  EXPECT_EQ(requests[1], Item("C:\\second.htm"));
  ::DestroyWindow(window);
}

TEST_F(OpenPageTest, QuitMessageTakenByThePumpIsPostedAgain) {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  StubBrowser stub("--serve");
  auto browser = ServingBrowserFor(stub);
  ::PostQuitMessage(7);
  browser->OpenPage(page);
  EXPECT_EQ(stub.Count("request item="), 1u) << stub.Log();
  ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT lost";
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(OpenPageTest, WithoutAnyBrowserAnyServerOfTheTopicIsAsked) {
  HtmAssociation htm;
  htm.SetClass(htm.ClassName() + ".none");
  workPath.Remove();
  TBrowser browser(nullptr);
  ASSERT_EQ(browser.BrowserPath(), "");
  EXPECT_EQ(browser.ServiceName(), "");
  // An empty service name leaves DDEML free to pick any server of the topic.
  StubBrowser stub("--serve");
  ASSERT_TRUE(stub.StartServing()) << stub.Log();
  browser.OpenPage(page);
  EXPECT_EQ(stub.Lines("request item="), std::vector<std::string>{Item(page)}) << stub.Log();
}
