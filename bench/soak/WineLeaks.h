// Wine 8 keeps two objects of its own per call in the calling process, which
// Windows frees: WaitForInputIdle (which WinExec calls) on a windowed program
// keeps a handle to that program's idle event, and a DdeConnect that finds no
// server keeps its client window. The soak bench measures both here, in its
// own process, before the run, so that exactly that many per such call of the
// program can be told apart from the program's own growth.
#pragma once
#include <string>

namespace soak {

struct WineLeaks {
  long long HandlesPerWindowedStart = 0;
  long long WindowsPerFailedConnect = 0;
  bool Measured = false;
};

// browserExe: a windowed program that ends at once when given a page.
WineLeaks MeasureWineLeaks(const std::string& browserExe);

}  // namespace soak
