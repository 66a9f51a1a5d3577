// The Linux process that carries a program run under Wine, seen through
// drive Z: (the host's root): its resident size and open descriptors from
// /proc. Only a process of our own Wine prefix is taken, never another's.
#pragma once
#include <string>

namespace soak {

class HostProcess {
public:
  // The process whose command line starts with exePath (the Windows path it
  // was started by, any case) and whose environment holds our WINEPREFIX;
  // empty when none is found (not under Wine, or no such process).
  static HostProcess Find(const std::string& exePath);

  bool Found() const { return !dir_.empty(); }
  const std::string& Pid() const { return pid_; }
  long long ResidentKiB() const;
  long long OpenDescriptors() const;

private:
  std::string pid_, dir_;
};

}  // namespace soak
