// Wine 8 keeps objects of its own in the calling process that Windows frees:
// WaitForInputIdle (which WinExec calls) on a windowed program keeps a handle
// to that program's idle event, a DdeConnect that finds no server keeps its
// client window, and each DDE conversation and request leaves some heap
// behind. The soak bench measures each here, in its own process, with bare
// system calls (none of the program's code) before the run, so that exactly
// that much per such call of the program can be told apart from the
// program's own growth.
#pragma once
#include <string>

namespace soak {

struct WineLeaks {
  bool Measured = false;
  bool BytesMeasured = false;
  long long HandlesPerWindowedStart = 0;
  long long WindowsPerFailedConnect = 0;
  // Private bytes per page opened over DDE (connect, request, disconnect),
  // and per DdeConnect that finds no server.
  long long BytesPerDdeOpening = 0;
  long long BytesPerFailedConnect = 0;
};

// browserExe: a windowed program that ends at once when given a page;
// service: a DDE server of WWW_OpenURL that answers requests. Without
// `bytes`, only the counts are measured, with a few calls each: the heap
// figures need a thousand DDE openings and decide no verdict.
WineLeaks MeasureWineLeaks(const std::string& browserExe, const std::string& service, bool bytes);

}  // namespace soak
