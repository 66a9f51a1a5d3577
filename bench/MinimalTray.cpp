// The smallest program that does what the scheduler does at start-up: a hidden
// window and one tray icon. The start-up benchmark measures against it.
#include <windows.h>
#include <shellapi.h>

namespace {
LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = WM_USER + 1;
    nid.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpyA(nid.szTip, "minimal");
    ::Shell_NotifyIconA(NIM_ADD, &nid);
    return 0;
  }
  if (msg == WM_DESTROY) {
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd;
    nid.uID = 1;
    ::Shell_NotifyIconA(NIM_DELETE, &nid);
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = "MinimalTray";
  ::RegisterClassA(&wc);
  ::CreateWindowExA(0, "MinimalTray", nullptr, 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  return 0;
}
