// The soak bench's plan and figures, free of Windows: how much of each kind
// of load a run of N minutes carries and in which 30-second period, and the
// growth of a counter between two steady states, per 10,000 scheduler cycles.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace soak {

inline constexpr int kPeriodSeconds = 30;
inline constexpr int kCycleMs = 300;
inline constexpr int kDefaultMinutes = 30;

struct SoakPlan {
  int Minutes = kDefaultMinutes;
  int Periods = 0;         // of kPeriodSeconds, each ended by a sample
  int WarmupPeriods = 0;   // growth is counted from the sample that ends these
  int Menus = 0;           // popup menu opened and dismissed
  int Sites = 0;           // a site chosen in the menu, opened over DDE
  int BrowserOutages = 0;  // the browser stops answering DDE for a while
  int CommandLineSitesPerOutage = 0;
  int ShellRestarts = 0;
  int LockHolds = 0;      // a peer holds the write lock for a second
  int AbandonPeriod = 0;  // the period in which a peer dies holding the lock
};

// The load of a 30-minute run, scaled to `minutes` (rounded up, so that a
// run of a minute or two still carries every kind of load at least once in
// its warm-up and once after it). Warm-up: the first two minutes, or the first period of
// a run shorter than four minutes.
SoakPlan PlanFor(int minutes);

// The run asked for: "--minutes N" (1 to 1440, 30 by default), the timed
// form; or "--rounds N" (1 to 100), the counted form, whose rounds each
// repeat every kind of load a fixed number of times. Nothing when the
// arguments are bad.
struct SoakRun {
  int Minutes = kDefaultMinutes;
  int Rounds = 0;  // the counted form when above 0
};
std::optional<SoakRun> ParseRun(const std::vector<std::string>& args);

// How many of `count` events spread over `periods` fall in `period`: event i
// falls in period floor(i * periods / count), so the first is in period 0.
int EventsInPeriod(int count, int periods, int period);

// How many of `total` evenly spread actions are due once `elapsedPeriods`
// (fractional) of `periods` have gone by.
int DueBy(int total, int periods, double elapsedPeriods);

// A counter between the reference sample and the last one. Values below zero
// mean "not measured".
struct Growth {
  bool Known = false;
  long long Reference = 0, Last = 0, Change = 0;
  long long Low = 0, High = 0;  // over the samples from the reference on
  double Per10000Cycles = 0;
};
Growth GrowthFrom(const std::vector<long long>& values, const std::vector<double>& cycles, std::size_t reference);

// A Markdown table.
std::string MarkdownTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows);

}  // namespace soak
