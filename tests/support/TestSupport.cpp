#include "tests/support/TestSupport.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace korvtest {

std::string BinDir() {
  char path[4096];
  DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\') + 1);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool FileExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TempFolder::TempFolder(const std::string& hint) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  static LONG counter = 0;
  for (;;) {
    char name[MAX_PATH + 64];
    wsprintfA(name, "%s%s-%lu-%ld", temp, hint.c_str(), ::GetCurrentProcessId(), ::InterlockedIncrement(&counter));
    if (::CreateDirectoryA(name, nullptr)) {
      path_ = std::string(name) + "\\";
      return;
    }
  }
}

namespace {
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  UniqueFindHandle find{::FindFirstFileA((folder + "*").c_str(), &data)};
  if (find) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = folder + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full + "\\");
      } else {
        ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(full.c_str());
      }
    } while (::FindNextFileA(find.Get(), &data));
  }
  find.Reset();
  ::RemoveDirectoryA(folder.c_str());
}
}  // namespace

TempFolder::~TempFolder() { RemoveTree(path_); }

std::string TempFolder::CopyProgram(const std::string& name, const std::string& as) const {
  std::string target = path_ + (as.empty() ? name : as);
  ::CopyFileA((BinDir() + name).c_str(), target.c_str(), FALSE);
  return target;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs, DWORD stepMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, stepMs, QS_ALLINPUT);
  }
}

RunningProgram::~RunningProgram() { Kill(); }

bool RunningProgram::Start(const std::string& commandLine, const std::string& currentFolder,
                           const STARTUPINFOA* startup) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (startup) si = *startup;
  PROCESS_INFORMATION pi{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, startup != nullptr, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &si, &pi)) {
    return false;
  }
  ::CloseHandle(pi.hThread);
  process_.Reset(pi.hProcess);
  processId_ = pi.dwProcessId;
  return true;
}

HWND RunningProgram::FindWindowOfClass(const char* className, DWORD timeoutMs) const {
  HWND found = nullptr;
  WaitFor(
      [&] {
        // Top-level windows of that class only: cheap enough to look often.
        for (found = nullptr; (found = ::FindWindowExA(nullptr, found, className, nullptr)) != nullptr;) {
          DWORD processId = 0;
          ::GetWindowThreadProcessId(found, &processId);
          if (processId == processId_) return true;
        }
        return WaitExit(0) != STILL_ACTIVE;
      },
      timeoutMs);
  return found;
}

bool RunningProgram::Post(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(window, msg, wParam, lParam) != FALSE;
}

DWORD RunningProgram::WaitExit(DWORD timeoutMs) const {
  if (!process_) return STILL_ACTIVE;
  if (::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void RunningProgram::Kill() {
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.Get(), 99);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
  process_.Reset();
}

bool SchedulerUnderTest::Start(const std::string& exePath, DWORD timeoutMs) {
  std::string folder = exePath.substr(0, exePath.find_last_of('\\') + 1);
  if (!program.Start("\"" + exePath + "\"", folder)) return false;
  window = program.FindWindowOfClass("TWebSched", timeoutMs);
  return window != nullptr;
}

DWORD SchedulerUnderTest::Close(DWORD timeoutMs) {
  if (window) program.Post(window, WM_CLOSE);
  return program.WaitExit(timeoutMs);
}

LONG SemaphoreCount(const std::string& name) {
  UniqueHandle semaphore{::OpenSemaphoreA(SEMAPHORE_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str())};
  LONG previous = -1;
  if (!semaphore || !::ReleaseSemaphore(semaphore.Get(), 1, &previous)) return -1;
  ::WaitForSingleObject(semaphore.Get(), 0);
  return previous;
}

void HeldWakeUp::Code(void* object, void*) {
  auto* self = static_cast<HeldWakeUp*>(object);
  self->inside = true;
  ::WaitForSingleObject(self->release.Get(), 60000);
  self->finished = true;
}

bool ReadRegString(HKEY root, const char* key, const char* value, std::string& out, REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS) return false;
  UniqueHkey k(raw);
  char buffer[4096] = {};
  DWORD type = 0, size = sizeof buffer - 1;
  if (::RegQueryValueExA(k.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  out.assign(buffer, size && buffer[size - 1] == 0 ? size - 1 : size);
  return true;
}

bool WriteRegString(HKEY root, const char* key, const char* value, const std::string& data, REGSAM view) {
  HKEY raw = nullptr;
  if (::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueHkey k(raw);
  return ::RegSetValueExA(k.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool DeleteRegValue(HKEY root, const char* key, const char* value, REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_SET_VALUE | view, &raw) != ERROR_SUCCESS) return false;
  UniqueHkey k(raw);
  return ::RegDeleteValueA(k.Get(), value) == ERROR_SUCCESS;
}

}  // namespace korvtest
