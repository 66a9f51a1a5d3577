// traydriver: drives a running scheduler from outside, as a user's clicks do.
//   traydriver wait SECONDS   waits for the scheduler's hidden window
//   traydriver menu           a right-button release on its tray icon
//   traydriver endmenu        ends an open popup menu
//   traydriver key KEY        types a letter, or "escape", into the open
//                             popup menu (as the keyboard would)
//   traydriver close          WM_CLOSE, then waits for the window to go
//   traydriver settle SECONDS waits until every top-level window answers
//                             messages (a window that answers none stalls
//                             every broadcast, DDE connections included)
//   traydriver tooltip        prints the tooltip that the stored schedule gives
//                             (Windows-1252), the way the scheduler builds it
//   traydriver keep           stays on the desktop, with no window, until it
//                             is ended: Wine ends the desktop's explorer (and
//                             its notification area) a moment after the last
//                             other program of the desktop has gone
// Exit code 0 on success, 1 on time-out or no scheduler, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/AnsiText.h"
#include "app/TrayText.h"
#include "sched/DateTime.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"

namespace {
constexpr UINT kTrayNotify = WM_USER + 384;

HWND Scheduler() { return ::FindWindowA("TWebSched", nullptr); }

BOOL CALLBACK CountUnanswering(HWND window, LPARAM count) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 100, &result)) {
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

bool AllWindowsAnswer() {
  int unanswering = 0;
  ::EnumWindows(CountUnanswering, reinterpret_cast<LPARAM>(&unanswering));
  return unanswering == 0;
}

// The shown popup menu: the system's menu window class.
HWND OpenMenu() {
  HWND menu = nullptr;
  while ((menu = ::FindWindowExA(nullptr, menu, "#32768", nullptr)) && !::IsWindowVisible(menu)) {
  }
  return menu;
}

bool WaitUntil(bool (*condition)(), DWORD ms) {
  for (DWORD waited = 0;; waited += 50) {
    if (condition()) return true;
    if (waited >= ms) return false;
    ::Sleep(50);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: traydriver wait SECONDS | settle SECONDS | menu | endmenu | key KEY | close | tooltip | keep\n");
    return 2;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "wait") == 0) {
    DWORD seconds = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10;
    return WaitUntil([] { return Scheduler() != nullptr; }, seconds * 1000) ? 0 : 1;
  }
  if (std::strcmp(command, "settle") == 0) {
    DWORD seconds = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 30;
    return WaitUntil(AllWindowsAnswer, seconds * 1000) ? 0 : 1;
  }
  if (std::strcmp(command, "keep") == 0) {
    // A thread that asks for its desktop's window and its own message queue
    // counts as one of the desktop's users; with no window it receives no
    // broadcast, so it can never stall one.
    ::GetDesktopWindow();
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ::Sleep(INFINITE);
    return 0;
  }
  if (std::strcmp(command, "tooltip") == 0) {
    const StoredSchedule stored = ReadSchedule();
    const bool suspended = (stored.State.value_or(0) & kStateSuspended) != 0;
    const std::string next = FormatCaptureDateTime(stored.StartupDate.value_or(0.0), UserDayMonthNames());
    std::printf("%s\n", TooltipText(suspended, next, IsAnsiLeadByte).c_str());
    return 0;
  }
  HWND window = Scheduler();
  if (!window) {
    std::fprintf(stderr, "traydriver: no scheduler runs\n");
    return 1;
  }
  if (std::strcmp(command, "menu") == 0) return ::PostMessageA(window, kTrayNotify, 0, WM_RBUTTONUP) ? 0 : 1;
  if (std::strcmp(command, "endmenu") == 0) {
    // The default handling of WM_CANCELMODE ends the menu the window tracks.
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_CANCELMODE, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) ? 0 : 1;
  }
  if (std::strcmp(command, "key") == 0) {
    if (argc < 3) return 2;
    if (!WaitUntil([] { return OpenMenu() != nullptr; }, 5000)) return 1;
    HWND menu = OpenMenu();
    if (std::strcmp(argv[2], "escape") == 0) return ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0) ? 0 : 1;
    return ::PostMessageA(menu, WM_CHAR, static_cast<unsigned char>(argv[2][0]), 0) ? 0 : 1;
  }
  if (std::strcmp(command, "close") == 0) {
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitUntil([] { return Scheduler() == nullptr; }, 10000) ? 0 : 1;
  }
  std::fprintf(stderr, "traydriver: unknown command '%s'\n", command);
  return 2;
}
