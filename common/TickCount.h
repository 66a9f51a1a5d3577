// A 64-bit millisecond tick count from the 32-bit one, which wraps every
// 49.7 days: what GetTickCount64 gives on Windows versions that have it.
// Pure; common/TickCount64.cpp applies it on XP.
#pragma once
#include <cstdint>

// The count for a 32-bit reading taken after the count last returned: the
// same high part, or the next one when the low part went back (a wrap).
// Readings are at most one wrap apart.
std::uint64_t ExtendTickCount(std::uint64_t last, std::uint32_t now);
