#include "tests/win/FakeTray.h"

#include <shellapi.h>

namespace korvtest {
namespace {
constexpr char kTrayClass[] = "Shell_TrayWnd";

// The start of Wine's request data, the same in every version of it.
struct NotifyStart {
  LONG Window;
  UINT Id;
  UINT Flags;
  UINT CallbackMessage;
};
}  // namespace

FakeTray::FakeTray() {
  thread_.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (thread_) ::WaitForSingleObject(ready_.Get(), 10000);
}

FakeTray::~FakeTray() {
  Answer();
  ::SetEvent(stop_.Get());
  if (thread_) ::WaitForSingleObject(thread_.Get(), 10000);
}

bool FakeTray::Ready() const { return window_ && ::FindWindowExA(nullptr, nullptr, kTrayClass, nullptr) == window_; }

std::vector<FakeTray::Request> FakeTray::Requests() const {
  std::lock_guard<std::mutex> guard(lock_);
  return requests_;
}

bool FakeTray::Saw(DWORD action, HWND window) const {
  for (const Request& r : Requests()) {
    if (r.Action == action && r.Window == window) return true;
  }
  return false;
}

bool FakeTray::Saw(DWORD action, HWND window, UINT id) const {
  for (const Request& r : Requests()) {
    if (r.Action == action && r.Window == window && r.Id == id) return true;
  }
  return false;
}

std::string FakeTray::Describe() const {
  static const char* const names[] = {"NIM_ADD", "NIM_MODIFY", "NIM_DELETE"};
  std::string text;
  for (const Request& r : Requests()) {
    char line[160];
    wsprintfA(line, "%s window %p id %u flags %u message %u, %lu bytes: %s\n", r.Action < 3 ? names[r.Action] : "other",
              r.Window, r.Id, r.Flags, r.CallbackMessage, r.Bytes, r.Accepted ? "yes" : "no");
    text += line;
  }
  return text.empty() ? "no request\n" : text;
}

void FakeTray::StopAnswering() {
  if (!answering_) return;
  ::SetEvent(hangAsked_.Get());
  ::WaitForSingleObject(hung_.Get(), 10000);
  answering_ = false;
}

void FakeTray::Answer() {
  if (answering_) return;
  ::SetEvent(resume_.Get());
  answering_ = true;
}

DWORD WINAPI FakeTray::ThreadMain(void* self) {
  static_cast<FakeTray*>(self)->Serve();
  return 0;
}

LRESULT CALLBACK FakeTray::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* tray = reinterpret_cast<FakeTray*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (msg != WM_COPYDATA || !tray) return ::DefWindowProcA(window, msg, wParam, lParam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  Request request{static_cast<DWORD>(data->dwData), nullptr, 0, 0, 0, data->cbData, false};
  if (data->cbData >= sizeof(NotifyStart)) {
    const auto* start = static_cast<const NotifyStart*>(data->lpData);
    request.Window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(start->Window));
    request.Id = start->Id;
    request.Flags = start->Flags;
    request.CallbackMessage = start->CallbackMessage;
  }
  std::lock_guard<std::mutex> guard(tray->lock_);
  const std::pair<HWND, UINT> icon{request.Window, request.Id};
  const bool held = tray->icons_.count(icon) != 0;
  switch (request.Action) {
    case NIM_ADD:
      request.Accepted = !held;
      tray->icons_.insert(icon);
      break;
    case NIM_DELETE:
      request.Accepted = held;
      tray->icons_.erase(icon);
      break;
    default: request.Accepted = held;
  }
  tray->requests_.push_back(request);
  return request.Accepted;
}

void FakeTray::Serve() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = kTrayClass;
  ::RegisterClassA(&wc);
  // Topmost, so that it comes before the shell's own tray in the z-order
  // that the search for the class follows.
  HWND window = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTrayClass, nullptr, WS_POPUP, 0,
                                  0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  if (window) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  window_ = window;
  ::SetEvent(ready_.Get());
  if (!window) return;
  HANDLE events[2] = {stop_.Get(), hangAsked_.Get()};
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    const DWORD woken = ::MsgWaitForMultipleObjects(2, events, FALSE, INFINITE, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    if (woken == WAIT_OBJECT_0 + 1) {
      // Hung: a plain wait takes no message, not even a sent one.
      ::SetEvent(hung_.Get());
      ::WaitForSingleObject(resume_.Get(), INFINITE);
    }
  }
  ::DestroyWindow(window);
  ::UnregisterClassA(kTrayClass, wc.hInstance);
}

}  // namespace korvtest
