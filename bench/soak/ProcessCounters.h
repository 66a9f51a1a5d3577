// What the soak bench counts of one process from the outside: kernel handles,
// GDI and USER objects, private bytes, working set and threads. Each comes
// from the documented call; where Wine answers nothing there (its
// GetProcessHandleCount and GetGuiResources report 0, its memory counters
// leave PrivateUsage empty), another count of the same thing is used, chosen
// once by Choose and named in Sources for the table.
#pragma once
#include <windows.h>

#include <string>

namespace soak {

struct ProcessCounts {
  long long KernelHandles = -1;
  long long GdiObjects = -1;
  long long UserObjects = -1;
  long long PrivateBytes = -1;
  long long WorkingSet = -1;
  long long Threads = -1;
};

class ProcessCounters {
public:
  ProcessCounters(HANDLE process, DWORD processId) : process_(process), processId_(processId) {}
  // Picks each counter's source on the live process.
  void Choose();
  ProcessCounts Read() const;
  // One line per counter: where its figure comes from.
  std::string Sources() const;

private:
  enum class Source { Documented, Fallback };
  HANDLE process_;
  DWORD processId_;
  Source handles_ = Source::Documented, gdi_ = Source::Documented, user_ = Source::Documented,
         private_ = Source::Documented;
};

// The entries of the system's handle list that belong to processId.
long long ListedHandles(DWORD processId);
// Entries in use in the process's GDI handle table (Wine's layout), read
// from its memory.
long long GdiTableEntries(HANDLE process);
// The process's windows: top-level, their children, and message-only ones.
long long WindowsOf(DWORD processId);
long long ThreadsOf(DWORD processId);

}  // namespace soak
