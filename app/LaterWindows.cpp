#include "app/LaterWindows.h"

#include "app/IconSide.h"

namespace {
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using ChangeWindowMessageFilterExFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
using ChangeWindowMessageFilterFunction = BOOL(WINAPI*)(UINT, DWORD);
// MSGFLT_ALLOW of the window filter and MSGFLT_ADD of the process filter.
constexpr DWORD kMessageFilterAllow = 1;
}  // namespace

int TrayIconSideFor(HWND window) {
  static const auto dpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  static const auto metricsForDpi = User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  int monitorSide = 0;
  // The hidden window sits on the primary monitor, where the notification
  // area is; for a process that is not per-monitor aware the window's DPI is
  // the system DPI, so the answer is the same as the system metric's.
  if (dpiForWindow && metricsForDpi && window) {
    if (UINT dpi = dpiForWindow(window)) monitorSide = metricsForDpi(SM_CXSMICON, dpi);
  }
  return TrayIconSide(monitorSide, ::GetSystemMetrics(SM_CXSMICON));
}

void AllowMessageFromShell(HWND window, UINT message) {
  // Without this an elevated copy (one a user starts elevated on purpose) would never
  // hear that the shell restarted, and its icon would stay lost. For a copy
  // that is not elevated the filter lets nothing new in from the shell.
  static const auto windowFilter = User32Function<ChangeWindowMessageFilterExFunction>("ChangeWindowMessageFilterEx");
  if (windowFilter) {
    windowFilter(window, message, kMessageFilterAllow, nullptr);
    return;
  }
  static const auto processFilter = User32Function<ChangeWindowMessageFilterFunction>("ChangeWindowMessageFilter");
  if (processFilter) processFilter(message, kMessageFilterAllow);
}
