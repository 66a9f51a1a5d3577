// Start-up to tray icon shown, for the scheduler and for a minimal tray
// program started the same way in the same run; also the scheduler's size,
// peak working set and private bytes. The notification area makes one tooltip window per icon,
// so a new top-level "tooltips_class32" window marks the icon as shown.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/HostProcess.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
struct Count {
  DWORD ownPid;
  int n;
};

BOOL CALLBACK CountTooltip(HWND hwnd, LPARAM lParam) {
  auto* c = reinterpret_cast<Count*>(lParam);
  char name[64] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != c->ownPid && lstrcmpiA(name, "tooltips_class32") == 0) ++c->n;
  return TRUE;
}

int TrayTooltips() {
  Count c{::GetCurrentProcessId(), 0};
  ::EnumWindows(CountTooltip, reinterpret_cast<LPARAM>(&c));
  return c.n;
}

double NowMs() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Run {
  double iconMs = -1;
  SIZE_T peakWorkingSet = 0;
  SIZE_T privateBytes = 0;
};

Run StartOnce(const std::string& exe, const char* windowClass, bool sampleMemory) {
  Run run;
  const int before = TrayTooltips();
  RunningProgram program;
  const double t0 = NowMs();
  if (!program.Start("\"" + exe + "\"", BinDir())) return run;
  if (WaitFor([&] { return TrayTooltips() > before; }, 20000, 1)) run.iconMs = NowMs() - t0;
  HWND window = program.FindWindowOfClass(windowClass, 10000);
  if (sampleMemory) {
    ::Sleep(3000);
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (::GetProcessMemoryInfo(program.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
      run.peakWorkingSet = pmc.PeakWorkingSetSize;
      // Wine fills PagefileUsage, the same private commit, where it leaves
      // PrivateUsage empty (see SchedBench).
      run.privateBytes = pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.PagefileUsage;
    }
    if (run.privateBytes == 0) run.privateBytes = static_cast<SIZE_T>(HostStatusMiB(exe, "VmData") * 1048576.0);
  }
  if (window) program.Post(window, WM_CLOSE);
  program.WaitExit(10000);
  WaitFor([&] { return TrayTooltips() <= before; }, 5000);
  return run;
}

double Median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main() {
  const std::string scheduler = BinDir() + "KorvSchd.exe";
  const std::string minimal = BinDir() + "MinimalTray.exe";
  std::vector<double> schedulerMs, minimalMs;
  SIZE_T peak = 0, privateBytes = 0;
  StartOnce(minimal, "MinimalTray", false);  // warm the file cache for both
  for (int i = 0; i < 10; ++i) {
    Run m = StartOnce(minimal, "MinimalTray", false);
    Run s = StartOnce(scheduler, "TWebSched", i == 0);
    if (m.iconMs >= 0) minimalMs.push_back(m.iconMs);
    if (s.iconMs >= 0) schedulerMs.push_back(s.iconMs);
    peak = std::max(peak, s.peakWorkingSet);
    privateBytes = std::max(privateBytes, s.privateBytes);
  }
  DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "WebSched");

  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  ::GetFileAttributesExA(scheduler.c_str(), GetFileExInfoStandard, &attributes);
  const double ms = Median(schedulerMs), base = Median(minimalMs);
  std::printf(
      "| start-up to icon shown (median of %u) | %.0f ms vs %.0f ms for a minimal tray program: ratio %.2f | |\n",
      static_cast<unsigned>(schedulerMs.size()), ms, base, base > 0 ? ms / base : -1.0);
  std::printf("| size of KorvSchd.exe | %lu bytes | <= 204,800 bytes (200 KiB) |\n", attributes.nFileSizeLow);
  std::printf("| peak working set of KorvSchd.exe, 3 s after start | %.1f MiB | |\n",
              static_cast<double>(peak) / 1048576.0);
  std::printf("| private bytes of KorvSchd.exe, 3 s after start | %.1f MiB | |\n",
              static_cast<double>(privateBytes) / 1048576.0);
  return schedulerMs.empty() || minimalMs.empty() ? 1 : 0;
}
