// Opening the popup menu with 1,000 projects: the list file and every project
// header are read again each time. Measured in process (menu loaded and
// prepared, as the right click does before showing it) and on the real
// program (right-button release posted until the menu's window exists).
// Uses the real win.ini work folder (restored) and the real Run value.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/KorvSchdMain.h"
#include "app/OwnInstance.h"
#include "tests/support/TestSupport.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
constexpr int kProjects = 1000;

class Stopwatch {
public:
  Stopwatch() { ::QueryPerformanceCounter(&start_); }
  double Ms() const {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
  }

private:
  LARGE_INTEGER start_;
};

// Each run returns its time in milliseconds, or a negative figure on failure.
template <class Run>
std::vector<double> SortedTimes(int runs, Run run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = run();
    if (ms >= 0) times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  return times;
}

void PrintRow(const char* measure, const std::vector<double>& sorted) {
  if (sorted.empty()) {
    std::printf("| %s | failed | <= 100 ms |\n", measure);
    return;
  }
  std::printf("| %s (median of %u, max %.1f ms) | %.1f ms | <= 100 ms |\n", measure,
              static_cast<unsigned>(sorted.size()), sorted.back(), sorted[sorted.size() / 2]);
}

// One call per look, so that watching does not slow down the program watched.
bool MenuShown() {
  HWND menu = ::FindWindowA("#32768", nullptr);
  return menu && ::IsWindowVisible(menu);
}

double RightClickToMenu(const SchedulerUnderTest& program) {
  Stopwatch watch;
  program.program.Post(program.window, WM_TRAYNOTIFY, 0, WM_RBUTTONUP);
  const bool open = WaitFor(MenuShown, 10000, 2);
  const double ms = watch.Ms();
  program.program.Post(program.window, WM_CANCELMODE);
  WaitFor([] { return !MenuShown(); }, 10000);
  return open ? ms : -1.0;
}

void WriteProjects(const TempFolder& folder) {
  std::string list;
  for (int i = 0; i < kProjects; ++i) {
    const std::string dir = folder.Path() + "site" + std::to_string(i);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    const std::string file = dir + "\\site.kvp";
    WriteFileText(file, ProjectHeader(512, "Site captur\xE9 num\xE9ro " + std::to_string(i)) + std::string(4096, 'x'));
    list += file + "\r\n";
  }
  WriteFileText(folder.Path() + "webs.dat", list);
}
}  // namespace

int main() {
  TempFolder folder{"menubench"};
  ScopedWorkPath workPath;
  workPath.Set(folder.Path());
  WriteProjects(folder);

  int shown = 0;
  {
    TWebSched sched;
    const auto prepared = SortedTimes(20, [&] {
      Stopwatch watch;
      UniqueHmenu menu{::LoadMenuA(::GetModuleHandleA(nullptr), "WEBSCHEDMENU")};
      HMENU popup = ::GetSubMenu(menu.Get(), 0);
      ::SetMenuDefaultItem(popup, 0, TRUE);
      sched.PrepareMenu(popup);
      const double ms = watch.Ms();
      shown = ::GetMenuItemCount(::GetSubMenu(popup, 1));
      return shown == kProjects ? ms : -1.0;
    });
    PrintRow("popup menu loaded and prepared, 1,000 projects, in process", prepared);
  }

  SchedulerUnderTest program;
  if (program.Start(folder.CopyProgram("KorvSchd.exe"))) {
    const auto opened = SortedTimes(10, [&] { return RightClickToMenu(program); });
    PrintRow("right click to popup menu shown, 1,000 projects, KorvSchd.exe", opened);
    workPath.Set("");
    const auto base = SortedTimes(10, [&] { return RightClickToMenu(program); });
    PrintRow("right click to popup menu shown, no work folder, KorvSchd.exe", base);
    program.Close();
  }
  DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  return shown == kProjects ? 0 : 1;
}
