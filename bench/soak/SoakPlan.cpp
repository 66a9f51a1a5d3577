#include "bench/soak/SoakPlan.h"

#include <algorithm>
#include <cstdlib>

namespace soak {
namespace {
int Scaled(int per30Minutes, int minutes, int atLeast) { return std::max(atLeast, (per30Minutes * minutes + 29) / 30); }
}  // namespace

SoakPlan PlanFor(int minutes) {
  SoakPlan plan;
  plan.Minutes = minutes;
  plan.Periods = minutes * 60 / kPeriodSeconds;
  plan.WarmupPeriods = minutes >= 4 ? 120 / kPeriodSeconds : 1;
  plan.Menus = Scaled(5000, minutes, 1);
  plan.Sites = Scaled(1000, minutes, 1);
  // Two at least: one in the warm-up, one after it.
  plan.BrowserOutages = Scaled(20, minutes, 2);
  plan.CommandLineSitesPerOutage = 5;
  plan.ShellRestarts = Scaled(20, minutes, 2);
  plan.LockHolds = plan.Periods;
  plan.AbandonPeriod = std::max(plan.WarmupPeriods, plan.Periods / 2);
  return plan;
}

std::optional<SoakRun> ParseRun(const std::vector<std::string>& args) {
  SoakRun run;
  if (args.empty()) return run;
  if (args.size() != 2) return std::nullopt;
  const bool rounds = args[0] == "--rounds";
  if (!rounds && args[0] != "--minutes") return std::nullopt;
  const std::string& text = args[1];
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || value < 1 || value > (rounds ? 100 : 1440)) return std::nullopt;
  (rounds ? run.Rounds : run.Minutes) = static_cast<int>(value);
  return run;
}

int EventsInPeriod(int count, int periods, int period) {
  if (count <= 0 || periods <= 0) return 0;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (static_cast<long long>(i) * periods / count == period) ++n;
  }
  return n;
}

int DueBy(int total, int periods, double elapsedPeriods) {
  if (periods <= 0) return total;
  const double share = std::clamp(elapsedPeriods / periods, 0.0, 1.0);
  return static_cast<int>(total * share);
}

Growth GrowthFrom(const std::vector<long long>& values, const std::vector<double>& cycles, std::size_t reference) {
  Growth g;
  if (values.empty() || reference >= values.size() || values.size() != cycles.size()) return g;
  for (std::size_t i = reference; i < values.size(); ++i) {
    if (values[i] < 0) return g;
  }
  g.Known = true;
  g.Reference = values[reference];
  g.Last = values.back();
  g.Change = g.Last - g.Reference;
  g.Low = *std::min_element(values.begin() + static_cast<std::ptrdiff_t>(reference), values.end());
  g.High = *std::max_element(values.begin() + static_cast<std::ptrdiff_t>(reference), values.end());
  const double span = cycles.back() - cycles[reference];
  g.Per10000Cycles = span > 0 ? static_cast<double>(g.Change) * 10000.0 / span : 0.0;
  return g;
}

std::string MarkdownTable(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
  auto line = [](const std::vector<std::string>& cells) {
    std::string text = "|";
    for (const std::string& cell : cells) text += " " + cell + " |";
    return text + "\n";
  };
  std::string table = line(header) + "|";
  for (std::size_t i = 0; i < header.size(); ++i) table += "---|";
  table += "\n";
  for (const auto& row : rows) table += line(row);
  return table;
}

}  // namespace soak
