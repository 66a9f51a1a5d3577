// Figures of the scheduler under Wine: due date to capture start, beside the
// floor under it (the stand-in started directly), peer notice to reload (seen
// through the launch it causes), the program's CPU time while idle and its
// private bytes. Runs the real KorvSchd.exe with the KORV98.EXE stand-in and
// plays the capture application itself (slot 1). Prints table rows.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/HostProcess.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "sched/ThreadSync.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;
using namespace schedtest;

namespace {
constexpr int kRuns = 20;
constexpr double kMsPerDay = 86400000.0;

struct Figures {
  double median = 0, max = 0;
  int missed = 0;
};

Figures Summarise(std::vector<double> v, int missed) {
  Figures f;
  f.missed = missed;
  if (v.empty()) return f;
  std::sort(v.begin(), v.end());
  f.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  f.max = v.back();
  return f;
}

// The capture application's write: lock, registry, notice. Returns the local
// time at which the notice went out.
double PeerWrite(TDataSynchronizer& peer, double date) {
  TSyncLock write = peer.Write(5000);
  if (!write) return 0;
  WriteSchedule(0, date);
  const double sent = LocalNow();
  write.Release();
  return sent;
}

// Writes `date` (relative to the notice when `relative`), waits for the launch
// and gives its delay after `from` (the date itself, or the notice) in ms.
bool MeasureOnce(const SchedulerFolder& files, TDataSynchronizer& peer, double ahead, bool fromNotice,
                 std::vector<double>& delays) {
  const size_t before = files.Log().size();
  const double date = LocalNow() + ahead / 86400.0;
  const double sent = PeerWrite(peer, date);
  if (sent == 0) return false;
  if (!WaitFor([&] { return files.Log().size() > before; }, 10000)) return false;
  const double started = files.Log()[before].When;
  delays.push_back((started - (fromNotice ? sent : date)) * kMsPerDay);
  return true;
}

// The floor under the due delay: from WinExec of the stand-in, as the
// scheduler starts it, to the stand-in's own first line.
bool MeasureDirectStart(const SchedulerFolder& files, std::vector<double>& delays) {
  const size_t before = files.Log().size();
  const std::string commandLine = "\"" + files.stub + "\"";
  const double asked = LocalNow();
  if (::WinExec(commandLine.c_str(), SW_SHOWNORMAL) <= 31) return false;
  if (!WaitFor([&] { return files.Log().size() > before; }, 10000)) return false;
  delays.push_back((files.Log()[before].When - asked) * kMsPerDay);
  // The next start must not find this one still holding its mutex.
  return WaitFor(
      [] {
        UniqueHandle running{::OpenMutexA(SYNCHRONIZE, FALSE, "APPLICATION-KORVAMO 98")};
        return !running;
      },
      5000);
}

// Private bytes: the process's own committed memory. Wine leaves PrivateUsage
// empty for another process but fills PagefileUsage, which Windows documents
// as the same private commit; the host's figure for the process's private
// writable memory (VmData, Wine's own mappings included) is the last resort.
double PrivateMiB(HANDLE process, const std::string& exePath) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
    if (counters.PrivateUsage != 0) return static_cast<double>(counters.PrivateUsage) / 1048576.0;
    if (counters.PagefileUsage != 0) return static_cast<double>(counters.PagefileUsage) / 1048576.0;
  }
  return HostStatusMiB(exePath, "VmData");
}

// Kernel plus user time. Wine's GetProcessTimes reports zero for every
// process, so under Wine the host kernel's figures for the same process are
// read; GetProcessTimes serves on Windows.
double CpuSeconds(HANDLE process, const std::string& exePath) {
  const double host = HostCpuSeconds(exePath);
  if (host >= 0) return host;
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// Per idle minute, and the whole time used since start in `total`.
double IdleCpuSecondsPerMinute(HANDLE process, const std::string& exePath, DWORD ms, double& total) {
  const double first = CpuSeconds(process, exePath);
  ::Sleep(ms);
  total = CpuSeconds(process, exePath);
  if (first < 0 || total < 0) return -1;
  return (total - first) * 60000.0 / ms;
}
}  // namespace

int main() {
  CleanRegistry();
  SchedulerFolder files;
  SchedulerUnderTest program;
  if (!program.Start(files.exe)) {
    std::printf("| scheduler | did not start | |\n");
    return 1;
  }
  TDataSynchronizer peer("KorvamoSyncExchange", 1);

  std::vector<double> dueDelays, noticeDelays;
  int dueMissed = 0, noticeMissed = 0;
  for (int i = 0; i < kRuns; ++i) {
    // 1.2 s plus a varying part, so the dates fall at every phase of the cycle.
    if (!MeasureOnce(files, peer, 1.2 + 0.037 * i, false, dueDelays)) ++dueMissed;
    if (!MeasureOnce(files, peer, -1.0, true, noticeDelays)) ++noticeMissed;
  }
  std::vector<double> directDelays;
  int directMissed = 0;
  for (int i = 0; i < kRuns; ++i) {
    if (!MeasureDirectStart(files, directDelays)) ++directMissed;
  }
  const double privateAfterRuns = PrivateMiB(program.program.Process(), files.exe);
  const DWORD idleMs = 60000;
  double totalCpu = 0;
  const double idleCpu = IdleCpuSecondsPerMinute(program.program.Process(), files.exe, idleMs, totalCpu);
  const double privateAfterIdle = PrivateMiB(program.program.Process(), files.exe);
  program.Close();
  CleanRegistry();

  const Figures due = Summarise(dueDelays, dueMissed), notice = Summarise(noticeDelays, noticeMissed);
  const Figures direct = Summarise(directDelays, directMissed);
  std::printf("| due date to capture start, median of %d (%d missed) | %.0f ms | <= 50 ms |\n", kRuns, due.missed,
              due.median);
  std::printf("| due date to capture start, maximum of %d | %.0f ms | <= 150 ms |\n", kRuns, due.max);
  std::printf(
      "| the floor: KORV98.EXE started directly, WinExec to its first line, median / maximum of %d (%d missed)"
      " | %.0f / %.0f ms | |\n",
      kRuns, direct.missed, direct.median, direct.max);
  std::printf("| peer notice to reload, through a launch, median of %d (%d missed) | %.0f ms | |\n", kRuns,
              notice.missed, notice.median);
  std::printf("| peer notice to reload, through a launch, maximum of %d | %.0f ms | |\n", kRuns, notice.max);
  std::printf(
      "| scheduler CPU time while idle, over %lu s | %.3f s per minute (%.2f s in all since start) | <= 0.05 s |\n",
      idleMs / 1000, idleCpu, totalCpu);
  std::printf("| private bytes of KorvSchd.exe, after its %d launches / after the idle minute | %.1f / %.1f MiB | |\n",
              2 * kRuns, privateAfterRuns, privateAfterIdle);
  return 0;
}
