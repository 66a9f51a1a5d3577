#include "app/KorvSchdMain.h"

#include "app/LaterWindows.h"
#include "app/OwnInstance.h"
#include "browser/Browser.h"
#include "common/CommandLine.h"
#include "common/ModulePath.h"
#include "sched/ThreadWakeUp.h"

TWebSched* WebSched = nullptr;

TWebSched::TWebSched() {
  // The browser comes first: its construction may fail (DDE), and then the
  // Run value must not have been written.
  Browser = std::make_unique<TBrowser>(this);
  // Quoted when the path holds a blank, or Windows would first try a program
  // at a shorter prefix of it ("C:\Program.exe").
  RegisterAutoStart(kRunValueName, ProgramCommandLine(GetOwnExePath()));
}

TWebSched::~TWebSched() {
  // Left by an end that failed twice: its thread may still be in the callback
  // on this object, which must then not be freed.
  if (Scheduler && !Scheduler->Stop()) EndProcess();
  Scheduler.reset();
  Browser.reset();
  Projects.clear();
}

LRESULT CALLBACK WebSchedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!WebSched) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  WebSched->Handle = hwnd;
  TMessage message{msg, wParam, lParam, 0};
  // An exception must not unwind through user32's frames (undefined on this
  // platform): a message whose handling failed does nothing more.
  try {
    WebSched->WndProc(message);
  } catch (...) {
    return WebSched->MessageFailed(message);
  }
  return message.Result;
}

namespace {
// Sent by Windows 8.1 and later to a per-monitor-aware window whose monitor
// changed scale; the headers define it only for newer targets.
constexpr UINT kDpiChangedMessage = 0x02E0;

// The shell broadcasts this when its tray starts (logon, restart after a
// crash); the icon is otherwise lost for good.
UINT TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageA("TaskbarCreated");
  return message;
}
}  // namespace

LRESULT TWebSched::MessageFailed(const TMessage& Message) {
  if (Message.Msg != WM_CREATE && Message.Msg != WM_DESTROY) return 0;
  // Once more; should that fail too, the destructor stops what is left.
  try {
    StopTray();
  } catch (...) {
  }
  if (Message.Msg == WM_CREATE) return -1;  // not made, as when it cannot be created
  ::PostQuitMessage(0);
  return 0;
}

void TWebSched::EndProcess() {
  ReleaseOwnInstance();
  ::ExitProcess(0);
}

void TWebSched::WndProc(TMessage& Message) {
  const UINT taskbarCreated = TaskbarCreatedMessage();
  if (taskbarCreated != 0 && Message.Msg == taskbarCreated) {
    if (!ending_) ReAddTrayIcon();
    Message.Result = 0;
    return;
  }
  // The end's waits deliver sent messages: what they would start (a command,
  // the menu, a call to the shell without a bound, the end again) must not
  // run inside it.
  if (ending_ && (Message.Msg == WM_COMMAND || Message.Msg == WM_TRAYNOTIFY || Message.Msg == kDpiChangedMessage)) {
    Message.Result = 0;
    return;
  }
  switch (Message.Msg) {
    // The hidden window keeps its place and size; only the icon follows.
    case kDpiChangedMessage:
      ReloadTrayIcon();
      Message.Result = 0;
      break;
    case WM_CREATE: WMCreate(Message); break;
    case WM_DESTROY: WMDestroy(Message); break;
    case WM_COMMAND: WMCommand(Message); break;
    case WM_TRAYNOTIFY: WMTrayNotify(Message); break;
    default: Message.Result = ::DefWindowProcA(Handle, Message.Msg, Message.WParam, Message.LParam);
  }
}

bool TWebSched::CreateHiddenWindow() {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (!::GetClassInfoA(instance, kWindowClassName, &existing)) {
    WNDCLASSA wc{};
    wc.style = 0;
    wc.lpfnWndProc = WebSchedWindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClassName;
    if (!::RegisterClassA(&wc)) return false;
  }
  Handle = ::CreateWindowExA(0, kWindowClassName, nullptr, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2,
                             ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!Handle) return false;
  ::ShowWindow(Handle, SW_HIDE);
  return true;
}

int TWebSched::Run() {
  if (!CreateHiddenWindow()) return 0;
  MSG msg{};
  BOOL got = 0;
  while ((got = ::GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  // A quit message posted by another program (or a failing GetMessageA)
  // ends the loop with the window still there: destroying it now removes
  // the icon and stops the scheduler, as after the unload command.
  if (::IsWindow(Handle)) {
    ::DestroyWindow(Handle);
    MSG posted;
    ::PeekMessageA(&posted, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the one its destruction posted
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}

void TWebSched::RefreshTrayThunk(void* Object, void* Sender) { static_cast<TWebSched*>(Object)->RefreshTray(Sender); }

void TWebSched::WMCreate(TMessage& Message) {
  Message.Result = 0;
  Scheduler = std::make_unique<TScheduler>(false);
  Scheduler->SetOnWakeUp(this, &TWebSched::RefreshTrayThunk);
  Scheduler->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
  if (const UINT taskbarCreated = TaskbarCreatedMessage()) AllowMessageFromShell(Handle, taskbarCreated);
  ShowTrayIcon(0);
}

void TWebSched::WMDestroy(TMessage& Message) {
  Message.Result = 0;
  StopTray();
  ::PostQuitMessage(0);
}

void TWebSched::StopTray() {
  if (!Scheduler || ending_) return;
  // Cleared on every way out: an end that failed may be tried again.
  const ScopedFlag ending(ending_);
  // One path, each step bounded: a shell that no longer answers must not
  // hold up the unload. A refresh that it holds (on the scheduler thread)
  // leaves the thread no time to end: the state is written all the same.
  // The thread begins no protocol step from the first wait on.
  Scheduler->RequestStop();
  const bool refreshEnded = Scheduler->ClearOnWakeUp(TScheduler::kWakeUpWait);
  const bool iconRemoved = RemoveTrayIcon();
  const bool threadEnded = Scheduler->Stop(refreshEnded ? TScheduler::kStopWait : 0);
  // A thread still runs in what this object owns: nothing is freed under
  // it; the process ends here, as after a normal unload. Stop has seen it
  // leave its protocol step, or waited for that as long as it may.
  if (!refreshEnded || !iconRemoved || !threadEnded) EndProcess();
  Scheduler.reset();
  CurrentIconOffset = -1;
}
