// The real KorvSchd.exe as other DDE programs see it: its service name is
// registered but every conversation is refused. And the program's end when
// DDE cannot be initialised: a debugger (this test) makes DdeInitializeA fail
// inside the child, which must show its "Application Error" box and exit 1.
#include <gtest/gtest.h>
#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <map>
#include <string>
#include <vector>

#include "app/OwnInstance.h"
#include "tests/support/TestSupport.h"
#include "tests/win/BrowserStubHelper.h"

using namespace korvtest;

namespace {
std::vector<std::string> registered;
DWORD instance = 0;

HDDEDATA CALLBACK RecordRegistrations(UINT type, UINT, HCONV, HSZ hsz1, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  if (type == XTYP_REGISTER) {
    char name[256] = {};
    ::DdeQueryStringA(instance, hsz1, name, sizeof name, CP_WINANSI);
    registered.push_back(name);
  }
  return nullptr;
}

class ProgramDdeTest : public ::testing::Test {
protected:
  void SetUp() override {
    registered.clear();
    ASSERT_EQ(::DdeInitializeA(&instance, RecordRegistrations, APPCLASS_STANDARD | APPCMD_CLIENTONLY, 0),
              static_cast<UINT>(DMLERR_NO_ERROR));
  }
  // wineboot starts what the Run key names; leave nothing behind.
  void TearDown() override {
    ::DdeUninitialize(instance);
    instance = 0;
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  HCONV Connect(const char* service, const char* topic) {
    HSZ s = service ? ::DdeCreateStringHandleA(instance, service, CP_WINANSI) : nullptr;
    HSZ t = topic ? ::DdeCreateStringHandleA(instance, topic, CP_WINANSI) : nullptr;
    HCONV conv = ::DdeConnect(instance, s, t, nullptr);
    if (s) ::DdeFreeStringHandle(instance, s);
    if (t) ::DdeFreeStringHandle(instance, t);
    return conv;
  }
  TempFolder folder{"programdde"};
};

}  // namespace

namespace {
std::map<DWORD, int> acks;
LRESULT CALLBACK InitiatorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_DDE_ACK) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(reinterpret_cast<HWND>(wParam), &pid);
  ++acks[pid];
  ::GlobalDeleteAtom(LOWORD(lParam));
  ::GlobalDeleteAtom(HIWORD(lParam));
  ::PostMessageA(reinterpret_cast<HWND>(wParam), WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(hwnd), 0);
  return 0;
}

std::map<DWORD, int> WildcardAnswers(const std::vector<DWORD>& processes) {
  acks.clear();
  WNDCLASSA wc{};
  wc.lpfnWndProc = InitiatorProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "KorvDdeInitiator";
  ::RegisterClassA(&wc);
  HWND self = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  struct Targets {
    const std::vector<DWORD>* processes;
    std::vector<HWND> windows;
  } targets{&processes, {}};
  ::EnumWindows(
      [](HWND h, LPARAM p) WINAPI -> BOOL {
        auto* t = reinterpret_cast<Targets*>(p);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        for (DWORD wanted : *t->processes) if (pid == wanted) t->windows.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&targets));
  for (HWND target : targets.windows) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(target, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(self), 0, SMTO_NORMAL, 5000, &result);
  }
  WaitFor([] { return false; }, 300);  // let the terminations through
  ::DestroyWindow(self);
  return acks;
}
}  // namespace

TEST_F(ProgramDdeTest, EveryConversationIsRefusedAndWildcardsListNothingOfIt) {
  StubBrowser other;  // a server that does accept, to show the requests work
  ASSERT_TRUE(other.StartServing()) << other.Log();
  SchedulerUnderTest program;
  ASSERT_TRUE(program.Start(folder.CopyProgram("KorvSchd.exe")));
  ASSERT_TRUE(WaitFor([] {
    for (const auto& name : registered) if (name == "KorvSchd") return true;
    return false;
  }, 10000)) << "the program registers its service name";

  for (const char* topic : {"WWW_OpenURL", "System", "KorvSchd", ""}) {
    HCONV conv = Connect("KorvSchd", topic);
    EXPECT_EQ(conv, nullptr) << "topic '" << topic << "'";
    if (conv) ::DdeDisconnect(conv);
  }
  HCONV anyTopic = Connect("KorvSchd", nullptr);
  EXPECT_EQ(anyTopic, nullptr);
  if (anyTopic) ::DdeDisconnect(anyTopic);

  // The wildcard request at the protocol level (DdeConnectList is a stub in
  // Wine): WM_DDE_INITIATE with no service and no topic to every top-level
  // window of both programs; each server answers with one WM_DDE_ACK per pair.
  auto answers = WildcardAnswers({program.program.ProcessId(), other.ProcessId()});
  EXPECT_EQ(answers[program.program.ProcessId()], 0);
  EXPECT_GE(answers[other.ProcessId()], 1) << "the wildcard request does reach DDE servers\n" << other.Log();
  EXPECT_EQ(program.Close(), 0u);
}
