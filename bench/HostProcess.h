// The host's view of a Wine process, for figures that Wine does not give for
// another process (CPU times, private memory): its /proc folder, reached
// through drive Z: (the host's root), found by the program's path, which Wine
// puts first on the host command line.
#pragma once
#include <string>

// "Z:\proc\<pid>\", or empty when no running process has that path.
std::string HostProcFolder(const std::string& exePath);

// User plus system time in seconds, or -1.
double HostCpuSeconds(const std::string& exePath);

// A "Name:  N kB" field of /proc/<pid>/status in MiB, or -1.
double HostStatusMiB(const std::string& exePath, const std::string& field);
