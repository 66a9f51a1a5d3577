// A stand-in for the shell's notification area on a thread of the test: a
// window of the class the shell's tray has ("Shell_TrayWnd"), placed above
// every other window so that the shell library of every program of the
// prefix finds it first. It records the icon requests it gets (Wine's shell
// sends each as WM_COPYDATA: dwData is the NIM_ action, the data begins with
// the window, the identifier, the flags and the callback message; an image
// follows the fixed part) and answers as a shell does: no to a second add of
// an icon it has, no to a change of one it has not, yes otherwise; or it stops
// answering at all, as a hung shell does. While it lives, the test itself must not call
// Shell_NotifyIconA. Tests that use it run SERIAL.
#pragma once
#include <windows.h>

#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/Win32Handles.h"

namespace korvtest {

class FakeTray {
public:
  struct Request {
    DWORD Action;
    HWND Window;
    UINT Id;
    UINT Flags;
    UINT CallbackMessage;
    DWORD Bytes;  // of the whole request: more when it carries an image
    bool Accepted;
  };

  FakeTray();
  // Answers again (what waits is taken, unread), then the window goes.
  ~FakeTray();
  FakeTray(const FakeTray&) = delete;
  FakeTray& operator=(const FakeTray&) = delete;

  // True when its window is the one the shell library finds.
  bool Ready() const;
  std::vector<Request> Requests() const;
  bool Saw(DWORD action, HWND window) const;
  bool Saw(DWORD action, HWND window, UINT id) const;
  // One line per request, for failure messages.
  std::string Describe() const;

  // Returns once the tray's thread takes no message any more, sent ones
  // included; a program that sends it one waits until Answer.
  void StopAnswering();
  void Answer();

private:
  static DWORD WINAPI ThreadMain(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  void Serve();

  UniqueHandle stop_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle hangAsked_{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle hung_{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle resume_{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle ready_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle thread_;
  HWND window_ = nullptr;
  bool answering_ = true;
  mutable std::mutex lock_;
  std::vector<Request> requests_;
  std::set<std::pair<HWND, UINT>> icons_;
};

}  // namespace korvtest
