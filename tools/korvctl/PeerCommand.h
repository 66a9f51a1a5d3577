// Command line of korvctl, the capture application's side of the schedule
// protocol as a console tool: parsing and the texts it prints. Pure
// functions, no Win32.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sched/DateTime.h"

enum class PeerAction { Help, Status, Schedule, In, Clear, Suspend, Resume, Watch, HoldLock, HoldRead };

struct PeerCommand {
  PeerAction Action = PeerAction::Help;
  int Slot = 1;                // 1 to 4; 0 is the scheduler's
  bool Minimised = false;      // schedule, in: set bit 1 (else clear it)
  CalendarDateTime When;       // schedule
  long long Seconds = 0;       // in: offset from now; hold-lock, hold-read: how long
  std::optional<long long> ForSeconds;  // watch --for
  // Hidden, for tests: write without the lock and without a notice, or keep
  // the lock this long after writing before the notice goes out.
  bool NoNotice = false;
  long long HoldSeconds = 0;

  bool Writes() const;
};

struct PeerParse {
  std::optional<PeerCommand> Command;
  std::string Error;  // one line, set when Command is empty
};

PeerParse ParsePeerCommand(const std::vector<std::string>& args);

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", a real date and time.
std::optional<CalendarDateTime> ParseScheduleDate(std::string_view text);
// Decimal digits with an optional leading '-', at most ten years of seconds.
std::optional<long long> ParseSeconds(std::string_view text);
// The date seconds after a date (both in the schedule's form), or nothing
// when it leaves years 1 to 9999.
std::optional<double> AddSeconds(double date, long long seconds);

// Durations are counted in 64-bit milliseconds: "watch --for" and the holds
// take up to ten years, and 32 bits hold only 49.7 days.
std::uint64_t DurationMilliseconds(long long seconds);
// A 64-bit count of milliseconds carried on from two readings of a 32-bit
// tick counter taken less than 49.7 days apart (the counter may wrap between).
std::uint64_t AddTicks(std::uint64_t elapsed, std::uint32_t before, std::uint32_t now);
// The next wait towards `remaining` milliseconds: at most `slice`, since one
// wait takes at most a 32-bit count.
std::uint32_t NextWait(std::uint64_t remaining, std::uint32_t slice);

// "active" or the set bits in words ("suspended, start minimised, bits 0x30").
std::string DescribeState(std::uint8_t state);
// "none" for 0, "YYYY-MM-DD HH:MM:SS" otherwise, "not a date" when undecodable.
std::string DescribeDate(double date);
std::string PeerHelpText();
