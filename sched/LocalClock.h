// The local clock and the user's day and month names, for the schedule's
// date-time form. Safe on any thread once UserDayMonthNames has been called
// on the main thread (the scheduler does so before its thread starts).
#pragma once
#include "sched/DateTime.h"

// The local date and time of day, to the millisecond, as days since 1899-12-30.
double LocalNow();

// Read once, from the locale of the thread that first asks.
const DayMonthNames& UserDayMonthNames();
