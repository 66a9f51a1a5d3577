// Soak bench: the real KorvSchd.exe in a real Wine tray under the load of a
// long life. Two forms, one verdict: the run fails (exit 1) when a handle,
// object or thread count of the program grew from the end of the warm-up
// beyond what Wine itself keeps, when a count could not be taken, when some
// kind of load never happened, or when the program did not end cleanly.
// - Timed (--minutes N, 30 by default; tools/bench.sh): every 30 s the load
//   pauses until nothing is in flight and the program's counts are sampled
//   from inside Wine and from the host; prints the samples and each
//   counter's growth per 10,000 scheduler cycles, memory included.
// - Counted (--rounds N; among the tests): every kind of load once to warm
//   up, a sample, then N rounds that each repeat every kind a fixed number of
//   times, a sample after each; only the counts that decide the verdict.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/soak/HostProcess.h"
#include "bench/soak/ProcessCounters.h"
#include "bench/soak/SoakLoad.h"
#include "bench/soak/SoakPlan.h"
#include "bench/soak/SoakRig.h"
#include "bench/soak/WineLeaks.h"

using namespace soak;

namespace {
constexpr DWORD kSampleReserveMs = 4000;  // of each period, for the pause and the sample

struct Sample {
  double Seconds = 0, Cycles = 0;
  ProcessCounts Counts;
  long long HostRssKiB = -1, HostFds = -1;
  LoadTally Tally;
  std::size_t Launches = 0;
};

long long Lower(long long a, long long b) { return a < 0 ? b : (b < 0 ? a : std::min(a, b)); }

// The lowest of a few readings: a count taken while the scheduler's cycle
// holds a registry key for a moment is higher, never lower, than the steady one.
Sample TakeSample(const ProcessCounters& counters, const HostProcess* host, DWORD started) {
  Sample s;
  for (int i = 0; i < 5; ++i) {
    if (i) ::Sleep(200);
    const ProcessCounts c = counters.Read();
    s.Counts.KernelHandles = i ? Lower(s.Counts.KernelHandles, c.KernelHandles) : c.KernelHandles;
    s.Counts.GdiObjects = i ? Lower(s.Counts.GdiObjects, c.GdiObjects) : c.GdiObjects;
    s.Counts.UserObjects = i ? Lower(s.Counts.UserObjects, c.UserObjects) : c.UserObjects;
    s.Counts.PrivateBytes = i ? Lower(s.Counts.PrivateBytes, c.PrivateBytes) : c.PrivateBytes;
    s.Counts.WorkingSet = i ? Lower(s.Counts.WorkingSet, c.WorkingSet) : c.WorkingSet;
    s.Counts.Threads = i ? Lower(s.Counts.Threads, c.Threads) : c.Threads;
    if (host) {
      s.HostRssKiB = i ? Lower(s.HostRssKiB, host->ResidentKiB()) : host->ResidentKiB();
      s.HostFds = i ? Lower(s.HostFds, host->OpenDescriptors()) : host->OpenDescriptors();
    }
  }
  const DWORD ms = ::GetTickCount() - started;
  s.Seconds = ms / 1000.0;
  s.Cycles = static_cast<double>(ms) / kCycleMs;
  return s;
}

// One period of load: menus and sites spread evenly over the whole run, a
// write every 2 s, and the period's share of the rarer events at fixed points.
void RunPeriod(const SoakPlan& plan, int period, DWORD started, SoakLoad& load) {
  const DWORD begin = static_cast<DWORD>(period) * kPeriodSeconds * 1000;
  const DWORD length = kPeriodSeconds * 1000 - kSampleReserveMs;
  struct Event {
    double At;
    int Count;
    void (*Run)(const SoakPlan&, SoakLoad&);
  };
  Event events[] = {
      {0.15, EventsInPeriod(plan.LockHolds, plan.Periods, period),
       [](const SoakPlan&, SoakLoad& l) { l.StartLockHold(); }},
      {0.30, EventsInPeriod(plan.ShellRestarts, plan.Periods, period),
       [](const SoakPlan&, SoakLoad& l) { l.ShellRestart(); }},
      {0.45, period % 2 == 0 ? 1 : 0, [](const SoakPlan&, SoakLoad& l) { l.WriteSchedule(true); }},
      {0.60, EventsInPeriod(plan.BrowserOutages, plan.Periods, period),
       [](const SoakPlan& p, SoakLoad& l) {
         l.StopBrowser();
         for (int i = 0; i < p.CommandLineSitesPerOutage; ++i) l.OpenSite(i);
         l.StartBrowser();
       }},
      {0.80, period == plan.AbandonPeriod ? 1 : 0, [](const SoakPlan&, SoakLoad& l) { l.PeerDiesHoldingLock(); }},
  };
  // A period starts on time, whatever the last sample took.
  while (::GetTickCount() - started < begin) ::Sleep(10);
  DWORD lastWrite = ::GetTickCount() - 2000;
  for (;;) {
    const DWORD now = ::GetTickCount() - started;
    if (now >= begin + length) return;
    const double within = static_cast<double>(now - begin) / length;
    if (::GetTickCount() - lastWrite >= 2000) {
      lastWrite = ::GetTickCount();
      load.WriteSchedule(false);
      continue;
    }
    bool fired = false;
    for (Event& e : events) {
      if (e.Count > 0 && within >= e.At) {
        for (; e.Count > 0; --e.Count) e.Run(plan, load);
        fired = true;
      }
    }
    if (fired) continue;
    const double elapsed = period + within;
    const LoadTally& t = load.Tally();
    if (t.DdeSites + t.DdeSitesFailed < DueBy(plan.Sites, plan.Periods, elapsed)) {
      load.OpenSite((t.DdeSites + t.DdeSitesFailed) % 10);
    } else if (t.Menus + t.MenusFailed < DueBy(plan.Menus, plan.Periods, elapsed)) {
      load.OpenAndDismissMenu();
    } else {
      ::Sleep(10);
    }
  }
}

std::string Figure(long long value) { return value < 0 ? "n/a" : std::to_string(value); }
std::string KiB(long long bytes) { return bytes < 0 ? "n/a" : std::to_string(bytes / 1024); }

void PrintSamples(const std::vector<Sample>& samples) {
  std::vector<std::vector<std::string>> rows;
  for (const Sample& s : samples) {
    const LoadTally& t = s.Tally;
    char time[16];
    std::snprintf(time, sizeof time, "%d:%02d", static_cast<int>(s.Seconds) / 60, static_cast<int>(s.Seconds) % 60);
    rows.push_back({time, std::to_string(static_cast<long long>(s.Cycles)), Figure(s.Counts.KernelHandles),
                    Figure(s.Counts.GdiObjects), Figure(s.Counts.UserObjects), Figure(s.Counts.Threads),
                    KiB(s.Counts.PrivateBytes), KiB(s.Counts.WorkingSet), Figure(s.HostRssKiB), Figure(s.HostFds),
                    std::to_string(t.Menus), std::to_string(t.DdeSites) + " / " + std::to_string(t.CommandLineSites),
                    std::to_string(t.Writes) + " / " + std::to_string(s.Launches), std::to_string(t.ShellRestarts),
                    std::to_string(t.LockHolds) + " / " + std::to_string(t.AbandonedLocks)});
  }
  std::fputs(MarkdownTable({"time", "cycles", "handles", "GDI", "USER", "threads", "private KiB", "working set KiB",
                            "host RSS KiB", "host fds", "menus", "sites DDE / cmd", "writes / launches",
                            "shell restarts", "lock holds / died"},
                           rows)
                 .c_str(),
             stdout);
}

struct CounterRow {
  const char* Name;
  long long (*Value)(const Sample&);
  // Objects that Wine itself keeps by the sample's time (see WineLeaks.h).
  long long (*Wine)(const Sample&, const WineLeaks&);
  bool Count;  // a count that must not grow; else bytes or host figures
  long long Unit;
  const char* Target;
};

long long NoWineShare(const Sample&, const WineLeaks&) { return 0; }

// Prints the growth table (with memory and host figures unless countsOnly);
// true when no count grew beyond what Wine itself keeps, and every count was
// taken.
bool PrintGrowth(const std::vector<Sample>& samples, std::size_t reference, const WineLeaks& wine, bool countsOnly) {
  // Each site opened by command line started a windowed browser through
  // WinExec, after a DdeConnect that found no server.
  const CounterRow counters[] = {
      {"kernel handles", [](const Sample& s) { return s.Counts.KernelHandles; },
       [](const Sample& s, const WineLeaks& w) { return w.HandlesPerWindowedStart * s.Tally.CommandLineSites; }, true,
       1, "0"},
      {"GDI objects", [](const Sample& s) { return s.Counts.GdiObjects; }, NoWineShare, true, 1, "0"},
      {"USER objects", [](const Sample& s) { return s.Counts.UserObjects; },
       [](const Sample& s, const WineLeaks& w) { return w.WindowsPerFailedConnect * s.Tally.CommandLineSites; }, true,
       1, "0"},
      {"threads", [](const Sample& s) { return s.Counts.Threads; }, NoWineShare, true, 1, "0"},
      {"private bytes (KiB)", [](const Sample& s) { return s.Counts.PrivateBytes; },
       [](const Sample& s, const WineLeaks& w) {
         return w.BytesPerDdeOpening * s.Tally.DdeSites + w.BytesPerFailedConnect * s.Tally.CommandLineSites;
       },
       false, 1024, "flat within 64 KiB"},
      {"working set (KiB)", [](const Sample& s) { return s.Counts.WorkingSet; }, NoWineShare, false, 1024, ""},
      {"host RSS (KiB)", [](const Sample& s) { return s.HostRssKiB; }, NoWineShare, false, 1, ""},
      {"host open descriptors", [](const Sample& s) { return s.HostFds; }, NoWineShare, false, 1, ""},
  };
  std::vector<double> cycles;
  for (const Sample& s : samples) cycles.push_back(s.Cycles);
  bool sound = true;
  std::vector<std::vector<std::string>> rows;
  for (const CounterRow& c : counters) {
    if (countsOnly && !c.Count) continue;
    std::vector<long long> values, own;
    for (const Sample& s : samples) {
      values.push_back(c.Value(s));
      own.push_back(c.Value(s) < 0 ? -1 : c.Value(s) - c.Wine(s, wine));
    }
    const Growth g = GrowthFrom(values, cycles, reference);
    const Growth beyond = GrowthFrom(own, cycles, reference);
    if (!g.Known) {
      rows.push_back({c.Name, "n/a", "n/a", "n/a", "n/a", "n/a", "n/a", c.Target, c.Count ? "NOT MEASURED" : ""});
      sound = sound && !c.Count;
      continue;
    }
    std::string verdict;
    if (c.Count) {
      verdict = beyond.Change > 0 ? "GROWS" : "no growth";
      sound = sound && beyond.Change <= 0;
    } else if (*c.Target) {
      verdict = beyond.Change <= 64 * 1024 ? "flat" : "GROWS";
    }
    auto per = [&](const Growth& x) {
      char text[32];
      std::snprintf(text, sizeof text, "%+.1f", x.Per10000Cycles / static_cast<double>(c.Unit));
      return std::string(text);
    };
    rows.push_back({c.Name, std::to_string(g.Reference / c.Unit), std::to_string(g.Last / c.Unit),
                    std::to_string(g.Low / c.Unit) + " to " + std::to_string(g.High / c.Unit), per(g),
                    c.Wine == NoWineShare ? "" : std::to_string((g.Change - beyond.Change) / c.Unit), per(beyond),
                    c.Target, verdict});
  }
  std::fputs(
      MarkdownTable({"counter", "after warm-up", "at the end", "range", "growth per 10,000 cycles",
                     "of the change, kept by Wine", "the program's growth per 10,000 cycles", "target", "verdict"},
                    rows)
          .c_str(),
      stdout);
  return sound;
}

// Every kind of load must have happened, or the figures say nothing about it.
bool PrintLoad(const LoadTally& t, std::size_t launches) {
  std::printf(
      "Load carried: %d menus opened and dismissed (%d failed), %d sites over DDE (%d failed), %d sites by command "
      "line (%d failed) in %d browser outages (%d failed), %d schedule writes (%d failed) with %d due dates and %zu "
      "starts of KORV98.EXE, %d shell restarts (%d failed), %d peers holding the lock a second (%d failed), "
      "%d peers dead holding it (%d failed).\n",
      t.Menus, t.MenusFailed, t.DdeSites, t.DdeSitesFailed, t.CommandLineSites, t.CommandLineSitesFailed,
      t.BrowserOutages, t.BrowserOutagesFailed, t.Writes, t.WritesFailed, t.DueDates, launches, t.ShellRestarts,
      t.ShellRestartsFailed, t.LockHolds, t.LockHoldsFailed, t.AbandonedLocks, t.AbandonedLocksFailed);
  return t.Menus > 0 && t.DdeSites > 0 && t.CommandLineSites > 0 && t.Writes > 0 && launches > 0 &&
         t.ShellRestarts > 0 && t.LockHolds > 0 && t.AbandonedLocks > 0;
}

// One round of the counted form: `often` menus and as many sites over DDE,
// then once each other kind of load (a write ahead, a due date, a browser
// outage with a site by command line, a shell restart, a peer dying with the
// lock), with a peer holding the lock meanwhile.
void RunRound(SoakLoad& load, int often) {
  load.StartLockHold();
  for (int i = 0; i < often; ++i) {
    load.OpenAndDismissMenu();
    load.OpenSite(i % 10);
  }
  load.WriteSchedule(false);
  load.WriteSchedule(true);
  load.StopBrowser();
  load.OpenSite(0);
  load.StartBrowser();
  load.ShellRestart();
  load.PeerDiesHoldingLock();
}

// What both forms share: the samples, each taken once the load is quiet.
struct Run {
  ProcessCounters& Counters;
  SoakLoad& Load;
  DWORD Started;
  std::vector<Sample> Samples;

  void Record(const HostProcess* host) {
    Load.Quiet();
    Sample s = TakeSample(Counters, host, Started);
    s.Tally = Load.Tally();
    s.Launches = Load.Launches();
    Samples.push_back(s);
  }
};

// The timed form's periods, each ended by a sample.
void RunTimed(const SoakPlan& plan, Run& run, const HostProcess& host) {
  std::printf("Soak of KorvSchd.exe: %d minutes, a sample every %d s, growth counted from %d:%02d.\n", plan.Minutes,
              kPeriodSeconds, plan.WarmupPeriods * kPeriodSeconds / 60, plan.WarmupPeriods * kPeriodSeconds % 60);
  std::printf("host figures: %s\n\n",
              host.Found() ? ("/proc/" + host.Pid() + " (VmRSS, fd)").c_str() : "not found (not under Wine?)");
  std::fflush(stdout);
  run.Record(&host);
  for (int period = 0; period < plan.Periods; ++period) {
    RunPeriod(plan, period, run.Started, run.Load);
    run.Record(&host);
    std::fprintf(stderr, "soak: sample %d of %d taken\n", period + 1, plan.Periods);
  }
}

// The counted form: a warm-up round of one of each, then the rounds.
void RunCounted(int rounds, Run& run) {
  constexpr int kOften = 30;
  std::printf(
      "Soak of KorvSchd.exe: every kind of load once, then %d rounds of %d menus and %d sites and once each "
      "other kind.\n\n",
      rounds, kOften, kOften);
  std::fflush(stdout);
  RunRound(run.Load, 1);
  run.Record(nullptr);
  for (int round = 0; round < rounds; ++round) {
    RunRound(run.Load, kOften);
    run.Record(nullptr);
    std::fprintf(stderr, "soak: round %d of %d done\n", round + 1, rounds);
  }
}
}  // namespace

int main(int argc, char** argv) {
  const auto asked = ParseRun(std::vector<std::string>(argv + 1, argv + argc));
  if (!asked) {
    std::fprintf(stderr,
                 "usage: soak_bench [--minutes N | --rounds N]   (1 to 1440 minutes, %d by default; 1 to 100 "
                 "rounds)\n",
                 kDefaultMinutes);
    return 2;
  }
  const bool counted = asked->Rounds > 0;
  SoakRig rig;
  if (!rig.Browser().StartServing()) {
    std::printf("soak: the stand-in browser did not start\n");
    return 1;
  }
  const WineLeaks wine = MeasureWineLeaks(rig.Browser().Exe(), rig.Browser().Service(), !counted);
  if (!rig.Start()) {
    std::printf("soak: the program did not start\n");
    return 1;
  }
  ProcessCounters counters(rig.Program().Process(), rig.Program().ProcessId());
  counters.Choose();
  SoakLoad load(rig);
  Run run{counters, load, ::GetTickCount(), {}};
  std::printf("%s", counters.Sources().c_str());
  if (!wine.Measured) {
    std::printf("Wine's own objects could not be measured: none are set apart\n");
  } else {
    std::printf(
        "Wine's own leftovers, measured in this bench with bare calls before the run: %lld kernel handle(s) "
        "per windowed program started through WinExec, %lld window(s) per DdeConnect that finds no server\n",
        wine.HandlesPerWindowedStart, wine.WindowsPerFailedConnect);
    if (wine.BytesMeasured) {
      std::printf("and %lld private bytes per page opened over DDE, %lld per DdeConnect that finds no server\n",
                  wine.BytesPerDdeOpening, wine.BytesPerFailedConnect);
    }
  }
  std::size_t reference = 0;
  if (counted) {
    RunCounted(asked->Rounds, run);
  } else {
    const SoakPlan plan = PlanFor(asked->Minutes);
    RunTimed(plan, run, HostProcess::Find(rig.ProgramFolder() + "KorvSchd.exe"));
    reference = static_cast<std::size_t>(plan.WarmupPeriods);
  }
  const DWORD exitCode = rig.Close();

  PrintSamples(run.Samples);
  std::printf("\n");
  const bool noGrowth = PrintGrowth(run.Samples, reference, wine, counted);
  std::printf("\n");
  const bool loaded = PrintLoad(load.Tally(), load.Launches());
  std::printf("KorvSchd.exe ended with exit code %lu.\n", exitCode);
  if (!noGrowth) std::printf("FAILED: a handle, object or thread count grew or was not measured.\n");
  if (!loaded) std::printf("FAILED: some kind of load never happened.\n");
  if (exitCode != 0) std::printf("FAILED: the program did not end cleanly.\n");
  return noGrowth && loaded && exitCode == 0 ? 0 : 1;
}
