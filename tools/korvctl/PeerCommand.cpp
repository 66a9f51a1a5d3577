#include "tools/korvctl/PeerCommand.h"

#include <cstdio>

namespace {
constexpr long long kMaxSeconds = 10LL * 366 * 86400;

struct ActionName {
  const char* Name;
  PeerAction Action;
  int Positionals;
};
constexpr ActionName kActions[] = {
    {"status", PeerAction::Status, 0},     {"schedule", PeerAction::Schedule, 1}, {"in", PeerAction::In, 1},
    {"clear", PeerAction::Clear, 0},       {"suspend", PeerAction::Suspend, 0},   {"resume", PeerAction::Resume, 0},
    {"watch", PeerAction::Watch, 0},       {"hold-lock", PeerAction::HoldLock, 1},
    {"hold-read", PeerAction::HoldRead, 1}};

bool Digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Exactly `width` digits.
std::optional<int> Number(std::string_view text, size_t width) {
  if (text.size() != width || !Digits(text)) return std::nullopt;
  int value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

PeerParse Fail(std::string message) { return {std::nullopt, std::move(message)}; }

std::optional<long long> DurationArg(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) return std::nullopt;
  auto seconds = ParseSeconds(args[++i]);
  if (!seconds || *seconds < 0) return std::nullopt;
  return seconds;
}
}  // namespace

bool PeerCommand::Writes() const {
  return Action == PeerAction::Schedule || Action == PeerAction::In || Action == PeerAction::Clear ||
         Action == PeerAction::Suspend || Action == PeerAction::Resume;
}

std::optional<CalendarDateTime> ParseScheduleDate(std::string_view text) {
  // YYYY-MM-DD HH:MM[:SS]
  if (text.size() != 16 && text.size() != 19) return std::nullopt;
  if (text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':') return std::nullopt;
  if (text.size() == 19 && text[16] != ':') return std::nullopt;
  auto year = Number(text.substr(0, 4), 4), month = Number(text.substr(5, 2), 2), day = Number(text.substr(8, 2), 2),
       hour = Number(text.substr(11, 2), 2), minute = Number(text.substr(14, 2), 2);
  std::optional<int> second = 0;
  if (text.size() == 19) second = Number(text.substr(17, 2), 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  CalendarDateTime parts;
  parts.Year = *year;
  parts.Month = *month;
  parts.Day = *day;
  parts.Hour = *hour;
  parts.Minute = *minute;
  parts.Second = *second;
  parts.Millisecond = 0;
  if (!EncodeDateTime(parts)) return std::nullopt;  // 2026-02-30, 24:00, year 0
  return parts;
}

std::optional<long long> ParseSeconds(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (!Digits(text) || text.size() > 12) return std::nullopt;
  long long value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  if (value > kMaxSeconds) return std::nullopt;
  return negative ? -value : value;
}

std::uint64_t DurationMilliseconds(long long seconds) {
  return seconds <= 0 ? 0 : static_cast<std::uint64_t>(seconds) * 1000u;
}

std::uint64_t AddTicks(std::uint64_t elapsed, std::uint32_t before, std::uint32_t now) {
  return elapsed + static_cast<std::uint32_t>(now - before);
}

std::uint32_t NextWait(std::uint64_t remaining, std::uint32_t slice) {
  return remaining < slice ? static_cast<std::uint32_t>(remaining) : slice;
}

std::optional<double> AddSeconds(double date, long long seconds) {
  const double result = date + static_cast<double>(seconds) / 86400.0;
  if (!DecodeDateTime(result)) return std::nullopt;
  return result;
}

PeerParse ParsePeerCommand(const std::vector<std::string>& args) {
  PeerCommand command;
  const ActionName* action = nullptr;
  std::vector<std::string> positionals;
  bool help = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "/?") {
      help = true;
    } else if (arg == "--slot") {
      if (i + 1 >= args.size()) return Fail("--slot needs a number from 1 to 4");
      const std::string& value = args[++i];
      if (value.size() != 1 || value[0] < '1' || value[0] > '4') return Fail("slot '" + value + "' is not 1 to 4");
      command.Slot = value[0] - '0';
    } else if (arg == "--minimised" || arg == "--minimized") {
      command.Minimised = true;
    } else if (arg == "--for") {
      command.ForSeconds = DurationArg(args, i);
      if (!command.ForSeconds) return Fail("--for needs a number of seconds");
    } else if (arg == "--hold") {
      auto hold = DurationArg(args, i);
      if (!hold) return Fail("--hold needs a number of seconds");
      command.HoldSeconds = *hold;
    } else if (arg == "--no-notice") {
      command.NoNotice = true;
    } else if (arg.size() > 1 && arg[0] == '-' && !Digits(std::string_view{arg}.substr(1))) {
      return Fail("unknown option '" + arg + "'");
    } else if (!action) {
      for (const auto& known : kActions) {
        if (arg == known.Name) action = &known;
      }
      if (!action) return Fail("unknown command '" + arg + "' (see --help)");
    } else {
      positionals.push_back(arg);
    }
  }
  if (help || !action) {
    if (!help) return Fail("no command given (see --help)");
    command.Action = PeerAction::Help;
    return {command, {}};
  }
  command.Action = action->Action;

  // The date may come as one quoted argument or as two.
  if (command.Action == PeerAction::Schedule && positionals.size() == 2) {
    positionals = {positionals[0] + " " + positionals[1]};
  }
  if (static_cast<int>(positionals.size()) != action->Positionals) {
    if (positionals.size() > static_cast<size_t>(action->Positionals)) {
      return Fail("unexpected argument '" + positionals[action->Positionals] + "'");
    }
    return Fail(std::string(action->Name) + " needs an argument (see --help)");
  }
  if (command.Minimised && command.Action != PeerAction::Schedule && command.Action != PeerAction::In) {
    return Fail("--minimised goes with schedule or in");
  }
  if (command.ForSeconds && command.Action != PeerAction::Watch) return Fail("--for goes with watch");
  if ((command.NoNotice || command.HoldSeconds) && !command.Writes()) {
    return Fail("--no-notice and --hold go with a command that writes");
  }
  switch (command.Action) {
    case PeerAction::Schedule: {
      auto when = ParseScheduleDate(positionals[0]);
      if (!when) return Fail("'" + positionals[0] + "' is not a date \"YYYY-MM-DD HH:MM[:SS]\"");
      command.When = *when;
      break;
    }
    case PeerAction::In:
    case PeerAction::HoldLock:
    case PeerAction::HoldRead: {
      auto seconds = ParseSeconds(positionals[0]);
      if (!seconds || (command.Action != PeerAction::In && *seconds < 0)) {
        return Fail("'" + positionals[0] + "' is not a number of seconds");
      }
      command.Seconds = *seconds;
      break;
    }
    default: break;
  }
  return {command, {}};
}

std::string DescribeState(std::uint8_t state) {
  std::string words;
  auto add = [&](const std::string& word) { words += (words.empty() ? "" : ", ") + word; };
  if (state & 0x01) add("suspended");
  if (state & 0x02) add("start minimised");
  if (state & 0xFC) {
    char other[32];
    std::snprintf(other, sizeof other, "other bits 0x%02X", state & 0xFC);
    add(other);
  }
  return words.empty() ? "active" : words;
}

std::string DescribeDate(double date) {
  if (date == 0.0) return "none";
  const auto parts = DecodeDateTime(date);
  if (!parts) return "not a date";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts->Year, parts->Month, parts->Day, parts->Hour,
                parts->Minute, parts->Second);
  return text;
}

std::string PeerHelpText() {
  return "korvctl: the capture application's side of the schedule, from the command line.\n"
         "\n"
         "usage: korvctl [--slot N] COMMAND [ARGUMENTS]\n"
         "\n"
         "  status                              state, next capture, who is running\n"
         "  schedule \"YYYY-MM-DD HH:MM[:SS]\" [--minimised]\n"
         "                                      next capture at that local time\n"
         "  in SECONDS [--minimised]            next capture SECONDS from now\n"
         "  clear                               no next capture\n"
         "  suspend                             suspend the scheduler\n"
         "  resume                              resume the scheduler\n"
         "  watch [--for SECONDS]               print the state after each change notice\n"
         "  --help                              this text\n"
         "\n"
         "  --slot N      the protocol slot to use, 1 to 4 (default 1)\n"
         "  --minimised   start the capture application minimised\n"
         "\n"
         "Exit codes: 0 done, 1 failed, 2 bad input, 3 the schedule stayed locked for 2 s.\n";
}
