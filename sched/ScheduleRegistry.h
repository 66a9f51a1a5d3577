// The schedule state in the registry: HKEY_CLASSES_ROOT\Korvamo\Scheduler,
// "State" (REG_DWORD, low byte = flags) and "Startup date" (REG_BINARY, an
// 8-byte little-endian double). Shared by the scheduler and korvctl; callers
// hold the change signal's lock as the protocol asks. Any thread.
#pragma once
#include <cstdint>
#include <optional>

inline constexpr char kScheduleKey[] = "Korvamo\\Scheduler";
inline constexpr char kStateValue[] = "State";
inline constexpr char kStartupDateValue[] = "Startup date";

inline constexpr std::uint8_t kStateSuspended = 0x01;
inline constexpr std::uint8_t kStateMinimised = 0x02;

struct StoredSchedule {
  bool KeyFound = false;
  // Each is set only when its value is there with a size that is taken:
  // "State" of 1 to 4 bytes (low byte), "Startup date" of exactly 8 bytes.
  std::optional<std::uint8_t> State;
  std::optional<double> StartupDate;
};

StoredSchedule ReadSchedule();

// Opens the key for writing, creating it when missing; "State" goes out
// widened to 32 bits with zeros. False when the key can be neither opened
// nor created, or a value was not written.
bool WriteSchedule(std::uint8_t state, double startupDate);
