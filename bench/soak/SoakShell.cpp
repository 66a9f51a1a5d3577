// soak_shell LOG: a stand-in for the shell's notification area in a process
// of its own, which the soak bench ends and starts again as a restart of the
// shell does (Wine's own shell cannot be started again while programs still
// use its desktop). Once its tray window is the one every program finds, it
// writes "ready" to LOG and broadcasts "TaskbarCreated", as the shell does
// when it starts; then it writes one line per icon added or deleted
// ("add WINDOW ID", "delete WINDOW ID", in hexadecimal) until it is ended.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "tests/win/FakeTray.h"

namespace {
constexpr DWORD kLifeMs = 24 * 3600 * 1000;  // in case the bench dies first

void Log(const char* path, const char* line) {
  if (FILE* f = std::fopen(path, "ab")) {
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: soak_shell LOG\n");
    return 2;
  }
  const char* log = argv[1];
  korvtest::FakeTray tray;
  const DWORD start = ::GetTickCount();
  while (!tray.Ready()) {
    if (::GetTickCount() - start > 10000) return 1;
    ::Sleep(20);
  }
  Log(log, "ready");
  ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  std::size_t seen = 0;
  while (::GetTickCount() - start < kLifeMs) {
    const auto requests = tray.Requests();
    for (; seen < requests.size(); ++seen) {
      const auto& r = requests[seen];
      if (r.Action != NIM_ADD && r.Action != NIM_DELETE) continue;
      char line[64];
      std::snprintf(line, sizeof line, "%s %lX %X", r.Action == NIM_ADD ? "add" : "delete",
                    static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(r.Window)), r.Id);
      Log(log, line);
    }
    ::Sleep(50);
  }
  return 0;
}
