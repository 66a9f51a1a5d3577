// Stand-in for the capture application, built as KORV98.EXE.
// Each start appends one line to "korv98.log" beside the executable:
//   <local time> show=<wShowWindow> flags=<dwFlags> cmd=<command line>
// While it runs it holds the mutex "APPLICATION-KORVAMO 98", as the real
// application does, for the time given by "--hold MS" or, without it, by the
// number in "korv98.hold" beside the executable (0 when absent); a file
// "korv98.quit" beside it ends the hold earlier.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
std::string OwnFolder() {
  char path[4096];
  DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string s(path, n);
  return s.substr(0, s.find_last_of("\\:") + 1);
}

DWORD HoldFromFile(const std::string& folder) {
  FILE* f = std::fopen((folder + "korv98.hold").c_str(), "rb");
  if (!f) return 0;
  unsigned long ms = 0;
  if (std::fscanf(f, "%lu", &ms) != 1) ms = 0;
  std::fclose(f);
  return ms;
}
}  // namespace

int main(int argc, char** argv) {
  HANDLE mutex = ::CreateMutexA(nullptr, FALSE, "APPLICATION-KORVAMO 98");
  const std::string folder = OwnFolder();

  STARTUPINFOA si{};
  si.cb = sizeof si;
  ::GetStartupInfoA(&si);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  if (FILE* log = std::fopen((folder + "korv98.log").c_str(), "ab")) {
    std::fprintf(log, "%04u-%02u-%02u %02u:%02u:%02u.%03u show=%u flags=%lu cmd=%s\n", now.wYear, now.wMonth,
                 now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                 (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : 1u, si.dwFlags, ::GetCommandLineA());
    std::fclose(log);
  }

  DWORD hold = HoldFromFile(folder);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--hold") == 0) hold = std::strtoul(argv[i + 1], nullptr, 10);
  }
  const std::string quit = folder + "korv98.quit";
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < hold && ::GetFileAttributesA(quit.c_str()) == INVALID_FILE_ATTRIBUTES) ::Sleep(20);
  if (mutex) ::CloseHandle(mutex);
  return 0;
}
