#include "app/KorvSchdMain.h"

#include "app/OwnInstance.h"
#include "browser/Browser.h"
#include "common/ModulePath.h"
#include "sched/ThreadWakeUp.h"

TWebSched* WebSched = nullptr;

TWebSched::TWebSched() {
  // The browser comes first: its construction may fail (DDE), and then the
  // Run value must not have been written.
  Browser = std::make_unique<TBrowser>(this);
  RegisterAutoStart(kRunValueName, GetOwnExePath());
}

TWebSched::~TWebSched() {
  Browser.reset();
  Projects.clear();
}

LRESULT CALLBACK WebSchedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!WebSched) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  WebSched->Handle = hwnd;
  TMessage message{msg, wParam, lParam, 0};
  WebSched->WndProc(message);
  return message.Result;
}

void TWebSched::WndProc(TMessage& Message) {
  // The shell broadcasts this when its tray starts (logon, restart after a
  // crash); the icon is otherwise lost for good.
  static const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  if (taskbarCreated != 0 && Message.Msg == taskbarCreated) {
    ReAddTrayIcon();
    Message.Result = 0;
    return;
  }
  switch (Message.Msg) {
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
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void TWebSched::RefreshTrayThunk(void* Object, void* Sender) {
  static_cast<TWebSched*>(Object)->RefreshTray(Sender);
}

void TWebSched::WMCreate(TMessage& Message) {
  Message.Result = 0;
  Scheduler = std::make_unique<TScheduler>(false);
  Scheduler->SetOnWakeUp(this, &TWebSched::RefreshTrayThunk);
  Scheduler->SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
  ShowTrayIcon(0);
}

void TWebSched::WMDestroy(TMessage& Message) {
  Message.Result = 0;
  // Clearing waits for a refresh under way, so none runs past this point.
  if (Scheduler) Scheduler->ClearOnWakeUp();
  RemoveTrayIcon();
  Scheduler.reset();
  ::PostQuitMessage(0);
}
