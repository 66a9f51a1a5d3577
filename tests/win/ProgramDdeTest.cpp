// The real KorvSchd.exe as other DDE programs see it: its service name is
// registered but every conversation is refused. And the program's end when
// DDE cannot be initialised: a debugger (this test) makes DdeInitializeA fail
// inside the child, which must show its "Application Error" box and exit 1.
#include <windows.h>
#include <dde.h>
#include <ddeml.h>
#include <gtest/gtest.h>

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

// The top-level windows of a process.
std::vector<HWND> WindowsOf(DWORD pid) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{pid, {}};
  ::EnumWindows(
      [](HWND h, LPARAM p) WINAPI -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == s->pid) s->found.push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

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
  for (DWORD pid : processes) {
    for (HWND target : WindowsOf(pid)) {
      DWORD_PTR result = 0;
      ::SendMessageTimeoutA(target, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(self), 0, SMTO_NORMAL, 5000, &result);
    }
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
  ASSERT_TRUE(WaitFor(
      [] {
        for (const auto& name : registered)
          if (name == "KorvSchd") return true;
        return false;
      },
      10000))
      << "the program registers its service name";

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

namespace {
// Runs the program under this test as its debugger. When user32 is mapped
// into it, DdeInitializeA is overwritten with "mov eax, DMLERR_SYS_ERROR;
// ret 16": the call fails without touching the instance identifier, as it
// fails when the system refuses DDE. The box is read and answered; the
// program's exit code is returned (STILL_ACTIVE when it did not end).
struct FailedStart {
  bool patched = false;
  std::string caption;
  std::string message;
  DWORD exitCode = STILL_ACTIVE;
};

HWND FindBoxOf(DWORD pid) {
  for (HWND h : WindowsOf(pid)) {
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(h)) return h;
  }
  return nullptr;
}

FailedStart RunWithDdeRefused(const std::string& exe) {
  FailedStart result;
  FARPROC target = ::GetProcAddress(::GetModuleHandleA("user32.dll"), "DdeInitializeA");
  const auto user32 = reinterpret_cast<BYTE*>(::GetModuleHandleA("user32.dll"));
  const DWORD rva = static_cast<DWORD>(reinterpret_cast<BYTE*>(target) - user32);
  // mov eax, DMLERR_SYS_ERROR; then ret, taking the four stdcall arguments
  // off the stack on 32-bit Windows (64-bit code has one convention).
#ifdef _WIN64
  const BYTE patch[] = {0xB8, 0x0F, 0x40, 0x00, 0x00, 0xC3};
#else
  const BYTE patch[] = {0xB8, 0x0F, 0x40, 0x00, 0x00, 0xC2, 0x10, 0x00};
#endif

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = "\"" + exe + "\"";
  std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, folder.c_str(),
                        &si, &pi)) {
    return result;
  }
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  auto patchAt = [&](BYTE* base) {
    SIZE_T written = 0;
    DWORD old = 0;
    BYTE* at = base + rva;
    ::VirtualProtectEx(process.Get(), at, sizeof patch, PAGE_EXECUTE_READWRITE, &old);
    result.patched = ::WriteProcessMemory(process.Get(), at, patch, sizeof patch, &written) && written == sizeof patch;
    ::FlushInstructionCache(process.Get(), at, sizeof patch);
  };
  const DWORD start = ::GetTickCount();
  bool boxAnswered = false;
  while (::GetTickCount() - start < 60000) {
    DEBUG_EVENT event{};
    if (!::WaitForDebugEvent(&event, 100)) {
      if (HWND box = boxAnswered ? nullptr : FindBoxOf(pi.dwProcessId)) {
        char text[1024] = {};
        ::GetWindowTextA(box, text, sizeof text);
        result.caption = text;
        ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        result.message = text;
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        boxAnswered = true;
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) ::CloseHandle(event.u.LoadDll.hFile);
        // Wine maps its built-in DLLs at the same address in every process.
        if (static_cast<BYTE*>(event.u.LoadDll.lpBaseOfDll) == user32) patchAt(user32);
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        result.exitCode = event.u.ExitProcess.dwExitCode;
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return result;
      default: break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  ::TerminateProcess(process.Get(), 99);
  return result;
}
}  // namespace

TEST_F(ProgramDdeTest, FailedDdeStartShowsTheApplicationErrorBoxAndExitsWithOne) {
  const std::string exe = folder.CopyProgram("KorvSchd.exe");
  FailedStart run = RunWithDdeRefused(exe);
  ASSERT_TRUE(run.patched) << "DdeInitializeA could not be replaced in the child";
  EXPECT_EQ(run.caption, "Application Error");
  EXPECT_NE(run.message.find("EDdeError"), std::string::npos) << run.message;
  EXPECT_NE(run.message.find("KorvSchd.exe"), std::string::npos) << run.message;
  // The address, at the width of a pointer.
  const size_t at = run.message.find(" at ");
  ASSERT_NE(at, std::string::npos) << run.message;
  EXPECT_EQ(run.message.find_first_not_of("0123456789ABCDEF", at + 4), at + 4 + 2 * sizeof(void*)) << run.message;
  // Instance 0 was never made: DDEML reports DMLERR_INVALIDPARAMETER for it.
  EXPECT_NE(run.message.find("An error returned from DDE  ($04006)"), std::string::npos) << run.message;
  EXPECT_EQ(run.exitCode, 1u) << run.message;
  std::string runValue;
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, runValue))
      << "the Run value is written only after the browser is built: " << runValue;
}
