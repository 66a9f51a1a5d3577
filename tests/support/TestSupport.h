// Helpers for tests that meet the real programs from outside: folders to run
// them in, starting them, finding the hidden window, waiting for their end.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "common/Win32Handles.h"

namespace korvtest {

// Folder of the running test program; the build puts every program there.
std::string BinDir();
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// A fresh folder under %TEMP%, removed with its content at the end.
class TempFolder {
public:
  explicit TempFolder(const std::string& hint = "korv");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The path with its trailing backslash.
  const std::string& Path() const { return path_; }
  // Copies a program of the build folder here, under another name if asked.
  std::string CopyProgram(const std::string& name, const std::string& as = "") const;

private:
  std::string path_;
};

// Waits up to timeoutMs for a condition, pumping this thread's messages.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs = 20);

class RunningProgram {
public:
  RunningProgram() = default;
  RunningProgram(RunningProgram&&) = default;
  RunningProgram& operator=(RunningProgram&&) = default;
  ~RunningProgram();

  // Starts commandLine with the given current folder; false on failure. With
  // a start-up record (standard handles), inheritable handles are passed on.
  bool Start(const std::string& commandLine, const std::string& currentFolder = "",
             const STARTUPINFOA* startup = nullptr);
  // The program's top-level window of class className, waiting up to timeoutMs.
  HWND FindWindowOfClass(const char* className, DWORD timeoutMs) const;
  bool Post(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // Exit code, or STILL_ACTIVE when it did not end within timeoutMs.
  DWORD WaitExit(DWORD timeoutMs) const;
  DWORD ProcessId() const { return processId_; }
  HANDLE Process() const { return process_.Get(); }
  void Kill();

private:
  UniqueHandle process_;
  DWORD processId_ = 0;
};

// The scheduler's whole life from outside: start it, find its window, end it.
struct SchedulerUnderTest {
  RunningProgram program;
  HWND window = nullptr;
  bool Start(const std::string& exePath, DWORD timeoutMs = 15000);
  // WM_CLOSE, then the exit code (STILL_ACTIVE on time-out).
  DWORD Close(DWORD timeoutMs = 10000);
};

// A named semaphore's count, seen from outside: one unit released and taken
// back at once; -1 when it cannot be opened.
LONG SemaphoreCount(const std::string& name);

// A scheduler wake-up callback that stays inside until released (a minute at
// most), as a refresh held by a shell that no longer answers does.
struct HeldWakeUp {
  UniqueHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<bool> inside{false};
  std::atomic<bool> finished{false};
  static void Code(void* object, void* sender);
};

// Registry helpers: REG_SZ read (nullopt-like: found flag), delete, write.
// view: the registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY), 0 for the
// program's own.
bool ReadRegString(HKEY root, const char* key, const char* value, std::string& out, REGSAM view = 0);
bool WriteRegString(HKEY root, const char* key, const char* value, const std::string& data, REGSAM view = 0);
bool DeleteRegValue(HKEY root, const char* key, const char* value, REGSAM view = 0);

}  // namespace korvtest
