// Calls that a hung peer could hold without end (a shell that no longer
// answers its tray requests) made with a bound: on a thread of their own,
// awaited for a limited time. Any thread.
#pragma once
#include <windows.h>

#include <functional>

// Runs the job on a new thread and waits at most Timeout ms for it; true when
// it ended in time. A job still running then keeps its thread and what it
// captured (so it must own everything it uses), and ends when its call
// returns or with the process. When no thread can be made the job does not
// run, and the answer is false as for a bound hit. Raises nothing.
bool RunWithin(DWORD Timeout, std::function<void()> Job);
