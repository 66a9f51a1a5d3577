// What the tray tests and the menu benchmarks share: the win.ini work folder
// set for one test and put back afterwards, a work folder of projects and its
// webs.dat, file times, a pipe that never answers, a project list of hundreds
// of megabytes, the real program's popup menu driven from outside, a logging
// stand-in browser, icons drawn and the shell asked whether it knows one.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "app/KorvSchdMain.h"
#include "common/Win32Handles.h"
#include "tests/support/TestSupport.h"

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

// A project file as the capture application leaves one, projet.kvp in the
// sub-folder `site` of the work folder (made with its parents), its header
// followed by `body` more bytes; returns its path.
inline std::string WriteProject(const std::string& work, const std::string& site, const std::string& title,
                                int version = 512, std::size_t body = 0) {
  for (std::size_t end = 0; end != std::string::npos;) {
    end = site.find('\\', end + 1);
    ::CreateDirectoryA((work + site.substr(0, end)).c_str(), nullptr);
  }
  const std::string path = work + site + "\\projet.kvp";
  WriteFileText(path, ProjectHeader(version, title) + std::string(body, 'x'));
  return path;
}

// webs.dat in the work folder: the paths, each ended by `end`.
inline void WriteProjectList(const std::string& work, const std::vector<std::string>& paths,
                             const std::string& end = "\r\n") {
  std::string list;
  for (const std::string& path : paths) list += path + end;
  WriteFileText(work + "webs.dat", list);
}

// One project per title, in the sub-folders site1, site2, ..., and webs.dat
// listing them in that order; returns their paths.
inline std::vector<std::string> WriteWorkFolder(const std::string& work, const std::vector<std::string>& titles,
                                                std::size_t body = 0) {
  std::vector<std::string> paths;
  for (const std::string& title : titles) {
    paths.push_back(WriteProject(work, "site" + std::to_string(paths.size() + 1), title, 512, body));
  }
  WriteProjectList(work, paths);
  return paths;
}

// Korvamo.ini in the work folder naming the browser; the program chooses its
// browser when it starts.
inline void WriteBrowserChoice(const std::string& work, const std::string& exe) {
  WriteFileText(work + "Korvamo.ini", "[Browser]\r\nExeName=" + exe + "\r\n");
}

// A browser that logs each start's command line in korv98.log beside it: the
// capture-application stand-in under another name.
struct LoggingBrowser {
  TempFolder folder{"navig"};
  const std::string exe = folder.CopyProgram("KORV98.EXE", "NAVIG.EXE");
  std::string Log() const { return ReadFileText(folder.Path() + "korv98.log"); }
};

// A file's creation and last-write times, read and put back, as a writer
// that rewrites within one tick of the file system's clock leaves them.
struct FileTimes {
  FILETIME Created{};
  FILETIME Written{};
};

inline bool GetFileTimes(const std::string& path, FileTimes& times) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  times.Created = data.ftCreationTime;
  times.Written = data.ftLastWriteTime;
  return true;
}

inline bool SetFileTimes(const std::string& path, const FileTimes& times) {
  UniqueFile file{::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr)};
  return file && ::SetFileTime(file.Get(), &times.Created, nullptr, &times.Written);
}

// Both times put back by the given number of seconds: an old file.
inline bool AgeFile(const std::string& path, unsigned seconds) {
  FileTimes times;
  if (!GetFileTimes(path, times)) return false;
  auto back = [seconds](FILETIME& t) {
    ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
    v.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000;
    t.dwLowDateTime = v.LowPart;
    t.dwHighDateTime = v.HighPart;
  };
  back(times.Created);
  back(times.Written);
  return SetFileTimes(path, times);
}

// A named pipe whose server lets a client connect and then sends nothing, so
// that a client's read waits. After answerAfterMs it sends a project header
// titled "Tube" and disconnects, which ends such a read: a program that reads
// the pipe then shows that title instead of hanging for ever.
class StalledPipe {
public:
  StalledPipe(const std::string& name, DWORD answerAfterMs) : path_("\\\\.\\pipe\\" + name) {
    pipe_.Reset(::CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 4096,
                                   4096, 0, nullptr));
    connected_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    stop_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!pipe_) return;
    overlapped_.hEvent = connected_.Get();
    if (!::ConnectNamedPipe(pipe_.Get(), &overlapped_) && ::GetLastError() == ERROR_PIPE_CONNECTED) {
      ::SetEvent(connected_.Get());
    }
    server_ = std::thread([this, answerAfterMs] { Serve(answerAfterMs); });
  }
  ~StalledPipe() {
    ::SetEvent(stop_.Get());
    if (server_.joinable()) server_.join();
    if (pipe_) {
      ::CancelIo(pipe_.Get());
      DWORD ignored;
      ::GetOverlappedResult(pipe_.Get(), &overlapped_, &ignored, TRUE);
    }
  }
  StalledPipe(const StalledPipe&) = delete;
  StalledPipe& operator=(const StalledPipe&) = delete;

  bool Created() const { return static_cast<bool>(pipe_); }
  const std::string& Path() const { return path_; }
  // Whether a client has opened the pipe.
  bool Connected() const { return ::WaitForSingleObject(connected_.Get(), 0) == WAIT_OBJECT_0; }

private:
  void Serve(DWORD answerAfterMs) {
    HANDLE both[] = {stop_.Get(), connected_.Get()};
    if (::WaitForMultipleObjects(2, both, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    if (::WaitForSingleObject(stop_.Get(), answerAfterMs) == WAIT_OBJECT_0) return;
    const std::string header = ProjectHeader(512, "Tube");
    OVERLAPPED write{};
    UniqueHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    write.hEvent = done.Get();
    DWORD sent = 0;
    if (::WriteFile(pipe_.Get(), header.data(), static_cast<DWORD>(header.size()), &sent, &write) ||
        ::GetLastError() == ERROR_IO_PENDING) {
      ::GetOverlappedResult(pipe_.Get(), &write, &sent, TRUE);
    }
    ::FlushFileBuffers(pipe_.Get());
    ::DisconnectNamedPipe(pipe_.Get());
  }

  std::string path_;
  UniqueFile pipe_;
  UniqueHandle connected_;
  UniqueHandle stop_;
  OVERLAPPED overlapped_{};
  std::thread server_;
};

// A project list of about totalMb megabytes: numbered lines first
// (prefix + "p" + number + "\\p.kvp"), then the same line over and over.
inline bool WriteHugeList(const std::string& path, const std::string& prefix, std::size_t numbered,
                          std::size_t totalMb) {
  UniqueFile file{::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
  if (!file) return false;
  auto write = [&](const std::string& bytes) {
    DWORD done = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
  };
  std::string chunk;
  std::size_t written = 0;
  for (std::size_t i = 1; i <= numbered; ++i) {
    chunk += prefix + "p" + std::to_string(i) + "\\p.kvp\r\n";
    if (chunk.size() >= (1u << 20) || i == numbered) {
      if (!write(chunk)) return false;
      written += chunk.size();
      chunk.clear();
    }
  }
  const std::string filler = prefix + "filler\\p.kvp\r\n";
  while (chunk.size() < (1u << 20)) chunk += filler;
  for (; written < totalMb << 20; written += chunk.size()) {
    if (!write(chunk)) return false;
  }
  return true;
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

inline std::string WindowText(HWND window) {
  char text[512] = {};
  const int n = ::GetWindowTextA(window, text, sizeof text);
  return std::string(text, n > 0 ? n : 0);
}

inline constexpr char kMenuClass[] = "#32768";
inline constexpr char kBoxClass[] = "#32770";

// The real program's popup menu driven from outside, as its user drives it:
// the icon's callback with a right-button release opens it, letters and keys
// posted to the menu window choose, WM_CANCELMODE to the hidden window ends
// it. A menu left open holds the program in its modal loop, so the driver
// ends whatever menu is still up when it goes. It follows the program object
// through a restart (a new process and window in the same object).
class TrayMenu {
public:
  explicit TrayMenu(const SchedulerUnderTest& program, UINT iconId = 0) : program_(program), iconId_(iconId) {}
  ~TrayMenu() { End(); }
  TrayMenu(const TrayMenu&) = delete;
  TrayMenu& operator=(const TrayMenu&) = delete;
  // What the shell passes with the callback; the icon's id is known once the
  // icon is in the tray.
  void SetIconId(UINT iconId) { iconId_ = iconId; }

  // The icon's callback as the shell sends it for a mouse message.
  void Click(LPARAM mouseMessage) const {
    program_.program.Post(program_.window, WM_TRAYNOTIFY, iconId_, mouseMessage);
  }
  // A right click, then the menu once it is on the screen (found earlier, it
  // may still be without its items); nullptr when none showed.
  HWND Open(DWORD timeoutMs = 10000, DWORD stepMs = 20) const {
    Click(WM_RBUTTONUP);
    return Shown(kMenuClass, timeoutMs, stepMs);
  }
  // The program's window of that class (its menu, or its message box) once
  // it is visible; nullptr when none showed.
  HWND Shown(const char* className, DWORD timeoutMs = 10000, DWORD stepMs = 20) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(className)) && ::IsWindowVisible(found); }, timeoutMs, stepMs);
    return found && ::IsWindowVisible(found) ? found : nullptr;
  }
  // The program's window of that class, shown or not.
  HWND Find(const char* className) const { return program_.program.FindWindowOfClass(className, 0); }
  // Each letter or digit chooses the entry it underlines, as typed.
  void Type(HWND menu, const std::string& letters) const {
    for (char letter : letters) program_.program.Post(menu, WM_CHAR, static_cast<unsigned char>(letter));
  }
  void Press(HWND menu, WPARAM key) const { program_.program.Post(menu, WM_KEYDOWN, key); }
  bool Gone(DWORD timeoutMs = 10000) const {
    return WaitFor([&] { return Find(kMenuClass) == nullptr; }, timeoutMs);
  }
  // Ends the menu if one is up; true once none is left.
  bool End(DWORD timeoutMs = 10000) const {
    if (Find(kMenuClass) == nullptr) return true;
    program_.program.Post(program_.window, WM_CANCELMODE);
    return Gone(timeoutMs);
  }

private:
  const SchedulerUnderTest& program_;
  UINT iconId_;
};

// An area of a device context as 32-bit pixels (0x00RRGGBB), through a DIB.
struct Pixels {
  int width = 0, height = 0;
  std::vector<DWORD> bits;
  DWORD At(int x, int y) const { return bits[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF; }
};

inline Pixels CopyPixels(HDC source, int x, int y, int width, int height) {
  Pixels pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return pixels;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, dib);
  ::BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
  ::GdiFlush();
  pixels.width = width;
  pixels.height = height;
  const auto* first = static_cast<const DWORD*>(bits);
  pixels.bits.assign(first, first + static_cast<std::size_t>(width) * height);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(dib);
  return pixels;
}

// The icon drawn at side x side over a plain background.
inline Pixels DrawnIcon(HICON icon, int side, HBRUSH background) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, side, side);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, side, side};
  ::FillRect(dc, &all, background);
  ::DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
  Pixels pixels = CopyPixels(dc, 0, 0, side, side);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace korvtest
