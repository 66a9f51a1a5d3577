#include "bench/HostProcess.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/TestSupport.h"

std::string HostProcFolder(const std::string& exePath) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find{::FindFirstFileA("Z:\\proc\\*", &entry)};
  if (!find) return {};
  do {
    if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9') continue;
    const std::string dir = std::string("Z:\\proc\\") + entry.cFileName + "\\";
    const std::string cmdline = korvtest::ReadFileText(dir + "cmdline");
    if (cmdline.substr(0, cmdline.find('\0')) == exePath) return dir;
  } while (::FindNextFileA(find.Get(), &entry));
  return {};
}

double HostCpuSeconds(const std::string& exePath) {
  const std::string dir = HostProcFolder(exePath);
  if (dir.empty()) return -1;
  const std::string stat = korvtest::ReadFileText(dir + "stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  // Fields after the name: state is field 3; utime and stime are 14 and 15.
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) !=
      2) {
    return -1;
  }
  return static_cast<double>(utime + stime) / 100.0;
}

double HostStatusMiB(const std::string& exePath, const std::string& field) {
  const std::string dir = HostProcFolder(exePath);
  if (dir.empty()) return -1;
  const std::string status = korvtest::ReadFileText(dir + "status");
  const size_t at = status.find("\n" + field + ":");
  if (at == std::string::npos) return -1;
  return std::strtod(status.c_str() + at + field.size() + 2, nullptr) / 1024.0;
}
