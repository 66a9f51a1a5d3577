// TWebSched: the program's main object. It owns the hidden window that
// receives the tray icon's and the menu's messages, the scheduler thread (from
// window creation to destruction), the browser and the project list.
// Main thread only, except RefreshTray and what it calls, which the scheduler
// thread runs on every wake-up.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/ProjectTitles.h"
#include "common/Win32Handles.h"

class TScheduler;
class TBrowser;

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

inline constexpr char kWindowClassName[] = "TWebSched";
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 384;
// The icon's identifier, the same at every start: without a GUID, the shell
// finds the user's choice to show or hide the icon by the program's path and
// this identifier (with the tooltip and the image).
inline constexpr UINT kTrayIconId = 1;

class TWebSched {
public:
  TWebSched();
  virtual ~TWebSched();
  TWebSched(const TWebSched&) = delete;
  TWebSched& operator=(const TWebSched&) = delete;

  virtual void WndProc(TMessage& Message);
  // The window procedure's result for a message whose handling raised.
  LRESULT MessageFailed(const TMessage& Message);

  int Run();
  bool CreateHiddenWindow();

  // Tray icon, tooltip and popup menu.
  void RefreshTray(void* Sender);
  void SetTrayIcon(int Offset);
  void ShowTrayIcon(int Offset);
  void UpdateTooltip();
  void BuildTooltip(char (&Tip)[64]);
  // True when the shell took the request within its bound.
  bool RemoveTrayIcon();
  // Adds the icon again, as last shown, after the shell (re)started; sends it
  // again when the shell still has it.
  void ReAddTrayIcon();
  // Sends the icon shown again, loaded for the DPI now in force.
  void ReloadTrayIcon();
  void WMTrayNotify(TMessage& Message);
  void PrepareMenu(HMENU Popup);
  void WMCommand(TMessage& Message);

  // Work folder and project list.
  int FillProjectMenu(HMENU Submenu);
  // FillProjectMenu, listing no project when memory runs out on the way.
  int FillProjectMenuAsFarAsRead(HMENU Submenu);
  void OpenProject(int Index);

  // Written by the window procedure on every message, read by the scheduler
  // thread for the tray icon.
  std::atomic<HWND> Handle{nullptr};
  std::unique_ptr<TScheduler> Scheduler;
  int IconBase = 1000;
  std::atomic<int> CurrentIconOffset{-1};
  std::unique_ptr<TBrowser> Browser;
  std::vector<std::string> Projects;
  // The popup menu, loaded at the first right click and kept: each opening
  // changes only the Webs entries that differ, since adding entries one by
  // one can cost the square of their number (docs/BENCHMARKS.md).
  UniqueHmenu PopupMenu;
  // The titles last read, with their files' metadata.
  TProjectTitleCache ProjectTitles;

private:
  void WMCreate(TMessage& Message);
  void WMDestroy(TMessage& Message);
  // The stop is requested, then the callback, the icon and the scheduler
  // thread go, in that order, then the state is written, each step with its
  // bound; when one is hit the process ends there (exit code 0), freeing
  // nothing under the thread. Nothing happens when there is no scheduler, or
  // when called again while it runs.
  void StopTray();
  // A normal end (exit code 0) where a thread still runs in this object.
  [[noreturn]] static void EndProcess();
  static void RefreshTrayThunk(void* Object, void* Sender);
  bool IsSuspended() const;
  bool SendTrayIcon(DWORD Action, int Offset);

  // Set while the menu is open or its command runs (the unload question, a
  // page opening that waits for the browser): their modal loops dispatch the
  // icon's clicks, and a menu opened from inside would act on a state that
  // the outer one is about to change. Main thread only.
  bool menuBusy_ = false;
  // Set while StopTray runs: its waits deliver sent messages, and neither a
  // command, the tray's notices nor a second end may run inside it.
  bool ending_ = false;
};

// Sets a flag for its own life and gives it back its previous value on every
// way out, so that nested holders do not clear it under an outer one.
class ScopedFlag {
public:
  explicit ScopedFlag(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = previous_; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
  bool& flag_;
  const bool previous_;
};

// The single instance; the window procedure reaches the object only through it.
extern TWebSched* WebSched;

LRESULT CALLBACK WebSchedWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
