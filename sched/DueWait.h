// When the schedule's start date falls due, and how long the scheduler's cycle
// may wait before its due test so that a capture starts at its date instead of
// up to a cycle later. Pure functions, no Win32; safe on any thread.
#pragma once
#include <cstdint>

// Due: a date above 0 (not NaN), not suspended, and `now` at or after it.
bool FallsDue(double now, double startupDate, bool suspended);

// The wait, in milliseconds, of at most `limit`: 0 when the date is due now,
// the limit when it never falls due or not within the limit, and otherwise
// the fewest whole milliseconds after which it is due: the first `wait` for
// which now + wait / 86400000.0 reaches the date.
std::uint32_t WaitBeforeDue(double now, double startupDate, bool suspended, std::uint32_t limit);
