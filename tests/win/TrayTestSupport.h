// What the tray tests share: the win.ini work folder set for one test and put
// back afterwards, project files written byte by byte and their times set, a
// pipe that never answers, a project list of hundreds of megabytes, and
// asking the shell whether it knows an icon.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <thread>

#include "common/Win32Handles.h"

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

}  // namespace korvtest
