// The tray icon, its tooltip and its popup menu, with the commands behind it.
// RefreshTray and what it calls run on the scheduler thread on every wake-up
// as well as on the main thread: they only talk to the shell's tray window,
// never to our own window, so they cannot wait on the main thread.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/BoundedCall.h"
#include "app/KorvSchdMain.h"
#include "app/LaterWindows.h"
#include "app/OwnInstance.h"
#include "app/TrayText.h"
#include "common/AnsiText.h"
#include "common/Win32Handles.h"
#include "res/resource.h"
#include "sched/CaptureApp.h"
#include "sched/ThreadWakeUp.h"

namespace {
// The first published form of the structure, which every shell accepts:
// 88 bytes on 32-bit Windows, 104 on 64-bit.
constexpr DWORD kNotifyIconSize = NOTIFYICONDATAA_V1_SIZE;
static_assert(kNotifyIconSize == (sizeof(void*) == 4 ? 88 : 104));

// How long the icon's removal waits for the shell at unload.
constexpr DWORD kShellWait = 1000;

constexpr int kSuspendedOffset = IDI_SUSPENDED - IDI_ACTIVE;
constexpr std::uint8_t kSuspendedBit = 1;

constexpr char kUnloadQuestion[] = "Voulez-vous arr\xEAter le gestionnaire de capture en diff\xE9r\xE9?";
// clang-format off
constexpr char kUnloadCaption[] = "D\xE9" "charger";
// clang-format on

// The headers' structure has room for 128 characters; the first form that we
// send holds 64, so the text is built in a field of that size.
void SetTooltip(TWebSched& sched, NOTIFYICONDATAA& data) {
  char tip[64];
  sched.BuildTooltip(tip);
  static_assert(sizeof data.szTip >= sizeof tip);
  std::memcpy(data.szTip, tip, sizeof tip);
}

NOTIFYICONDATAA NotifyIconData(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = kNotifyIconSize;
  data.hWnd = window;
  data.uID = kTrayIconId;
  return data;
}
}  // namespace

bool TWebSched::IsSuspended() const { return Scheduler && (Scheduler->State() & kSuspendedBit) != 0; }

void TWebSched::RefreshTray(void*) {
  SetTrayIcon(IsSuspended() ? kSuspendedOffset : 0);
  UpdateTooltip();
}

void TWebSched::SetTrayIcon(int Offset) {
  if (Offset != CurrentIconOffset) ShowTrayIcon(Offset);
}

bool TWebSched::SendTrayIcon(DWORD Action, int Offset) {
  NOTIFYICONDATAA data = NotifyIconData(Handle);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_TRAYNOTIFY;
  // A private copy at the size the tray shows at its DPI, which the resource
  // holds drawn for that size: a shared icon must not be destroyed, and both
  // threads load icons.
  const int side = TrayIconSideFor(Handle);
  UniqueHicon icon{static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IconBase + Offset),
                                                   IMAGE_ICON, side, side, LR_DEFAULTCOLOR))};
  data.hIcon = icon.Get();
  SetTooltip(*this, data);
  return ::Shell_NotifyIconA(Action, &data) != FALSE;
}

void TWebSched::ShowTrayIcon(int Offset) {
  SendTrayIcon(CurrentIconOffset == -1 ? NIM_ADD : NIM_MODIFY, Offset);
  // Taken even when the shell refused, so a failed add is not retried on
  // every wake-up; only the shell's restart notice adds the icon again.
  CurrentIconOffset = Offset;
}

void TWebSched::ReAddTrayIcon() {
  const int offset = CurrentIconOffset;
  if (offset == -1) return;
  // The notice also comes with the icon still there (a new display scale, a
  // remote session connecting): the shell refuses the add, and the icon is
  // sent again as a modification, at the size the tray now shows.
  if (!SendTrayIcon(NIM_ADD, offset)) SendTrayIcon(NIM_MODIFY, offset);
}

void TWebSched::ReloadTrayIcon() {
  const int offset = CurrentIconOffset;
  if (offset == -1) return;
  SendTrayIcon(NIM_MODIFY, offset);
}

void TWebSched::UpdateTooltip() {
  NOTIFYICONDATAA data = NotifyIconData(Handle);
  data.uFlags = NIF_TIP;
  SetTooltip(*this, data);
  ::Shell_NotifyIconA(NIM_MODIFY, &data);
}

void TWebSched::BuildTooltip(char (&Tip)[64]) {
  const bool suspended = IsSuspended();
  const std::string text =
      TooltipText(suspended, suspended || !Scheduler ? std::string() : Scheduler->NextCaptureText(), IsAnsiLeadByte);
  const std::size_t n = text.size() < sizeof Tip ? text.size() : sizeof Tip - 1;
  std::memcpy(Tip, text.data(), n);
  Tip[n] = 0;
}

bool TWebSched::RemoveTrayIcon() {
  NOTIFYICONDATAA data = NotifyIconData(Handle);
  // Called as the program ends: a shell that no longer answers must not
  // hold up the unload. The request goes with its own copy of the data.
  return RunWithin(kShellWait, [data]() mutable { ::Shell_NotifyIconA(NIM_DELETE, &data); });
}

void TWebSched::WMTrayNotify(TMessage& Message) {
  Message.Result = 0;
  if (Message.LParam != WM_RBUTTONUP) {
    Message.Result = ::DefWindowProcA(Handle, Message.Msg, Message.WParam, Message.LParam);
    return;
  }
  if (menuBusy_) return;
  const ScopedFlag busy(menuBusy_);
  POINT cursor{};
  ::GetCursorPos(&cursor);
  if (!PopupMenu) PopupMenu.Reset(::LoadMenuA(::GetModuleHandleA(nullptr), "WEBSCHEDMENU"));
  if (!PopupMenu) return;
  HMENU popup = ::GetSubMenu(PopupMenu.Get(), 0);
  ::SetMenuDefaultItem(popup, 0, TRUE);
  PrepareMenu(popup);
  ::SetForegroundWindow(Handle);
  ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, Handle, nullptr);
  // Without a message after the menu, a click elsewhere may fail to close it
  // the next time it opens.
  ::PostMessageA(Handle, WM_NULL, 0, 0);
}

namespace {
// From the end: under Wine each entry deleted before others moves them all.
void EmptyMenu(HMENU menu) {
  for (int i = ::GetMenuItemCount(menu) - 1; i >= 0; --i) ::DeleteMenu(menu, i, MF_BYPOSITION);
}
}  // namespace

int TWebSched::FillProjectMenuAsFarAsRead(HMENU Submenu) {
  try {
    return FillProjectMenu(Submenu);
  } catch (...) {
    // Out of memory before the entries were set (setting them allocates
    // nothing): the submenu still shows the last list, which Projects no
    // longer holds, so no project is listed.
    Projects.clear();
    EmptyMenu(Submenu);
    return 0;
  }
}

void TWebSched::PrepareMenu(HMENU Popup) {
  const int count = FillProjectMenuAsFarAsRead(::GetSubMenu(Popup, 1));
  // Disabled without the grayed flag: the entry keeps its normal look.
  ::EnableMenuItem(Popup, 1, MF_BYPOSITION | (count != 0 ? MF_ENABLED : MF_DISABLED));
  ::EnableMenuItem(Popup, IDM_LOAD_CAPTURE_APP,
                   MF_BYCOMMAND | (CaptureAppNotRunning() ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
  ::CheckMenuItem(Popup, IDM_SUSPEND, MF_BYCOMMAND | (IsSuspended() ? MF_CHECKED : MF_UNCHECKED));
}

void TWebSched::WMCommand(TMessage& Message) {
  Message.Result = 0;
  const ScopedFlag busy(menuBusy_);
  const int command = LOWORD(Message.WParam);
  switch (command) {
    case IDM_LOAD_CAPTURE_APP: LaunchProgram(CaptureAppPath(), SW_SHOWNORMAL); return;
    case IDM_UNLOAD:
      if (::MessageBoxA(Handle, kUnloadQuestion, kUnloadCaption, MB_YESNO) != IDYES) return;
      UnregisterAutoStart(kRunValueName);
      ::DestroyWindow(Handle);
      return;
    case IDM_SUSPEND:
      if (!Scheduler) return;
      Scheduler->SetState(static_cast<std::uint8_t>(Scheduler->State() ^ kSuspendedBit));
      RefreshTray(this);
      return;
    default:
      if (command >= IDM_PROJECT_FIRST) OpenProject(command - IDM_PROJECT_FIRST);
  }
}
