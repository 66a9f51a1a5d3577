// What the tray tests share: the win.ini work folder set for one test and put
// back afterwards, project files written byte by byte, and asking the shell
// whether it knows an icon.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace korvtest {

// win.ini [KORVAMO] WORKPATH for the life of the object; an empty path
// removes the entry. The value found before is restored at the end.
class ScopedWorkPath {
public:
  ScopedWorkPath() {
    char old[256] = {};
    had_ = ::GetProfileStringA("KORVAMO", "WORKPATH", "", old, sizeof old) > 0;
    old_ = old;
  }
  ~ScopedWorkPath() { ::WriteProfileStringA("KORVAMO", "WORKPATH", had_ ? old_.c_str() : nullptr); }
  ScopedWorkPath(const ScopedWorkPath&) = delete;
  ScopedWorkPath& operator=(const ScopedWorkPath&) = delete;
  void Set(const std::string& path) const {
    ::WriteProfileStringA("KORVAMO", "WORKPATH", path.empty() ? nullptr : path.c_str());
  }

private:
  bool had_ = false;
  std::string old_;
};

inline std::string ShortText(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }

// A project header: first text, version, a second text when the version is
// 512 or more, the title, then bytes of the rest of the file.
inline std::string ProjectHeader(int version, const std::string& title) {
  std::string bytes = ShortText("Korvamo project");
  bytes += static_cast<char>(version & 0xFF);
  bytes += static_cast<char>((version >> 8) & 0xFF);
  if (static_cast<short>(version) >= 512) bytes += ShortText("second text");
  return bytes + ShortText(title) + std::string(40, '\x7F');
}

inline NOTIFYICONDATAA IconIdentity(HWND window, UINT id) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = id;
  return data;
}

// The shell knows an icon when a modification without flags succeeds.
inline bool TrayHasIcon(HWND window, UINT id) {
  NOTIFYICONDATAA data = IconIdentity(window, id);
  return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

inline bool DeleteTrayIcon(HWND window, UINT id) {
  NOTIFYICONDATAA data = IconIdentity(window, id);
  return ::Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

}  // namespace korvtest
