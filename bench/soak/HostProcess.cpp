#include "bench/soak/HostProcess.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "common/Win32Handles.h"
#include "tests/support/TestSupport.h"

namespace soak {
namespace {
constexpr char kProc[] = "Z:\\proc\\";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string OurPrefix() {
  char value[1024] = {};
  const DWORD n = ::GetEnvironmentVariableA("WINEPREFIX", value, sizeof value);
  return n < sizeof value ? std::string(value, n) : std::string();
}

// Wine writes the Windows command line over the process's arguments; its
// first word is the program as it was started.
bool NamesProgram(const std::string& cmdline, const std::string& exePath) {
  const bool quoted = !cmdline.empty() && cmdline.front() == '"';
  const std::size_t start = quoted ? 1 : 0;
  const std::size_t end = quoted ? cmdline.find('"', 1) : cmdline.find_first_of(std::string("\0 ", 2));
  const std::string first = cmdline.substr(start, end == std::string::npos ? std::string::npos : end - start);
  return Lower(first) == Lower(exePath);
}

bool InPrefix(const std::string& environment, const std::string& prefix) {
  const std::string wanted = "WINEPREFIX=" + prefix;
  for (std::size_t start = 0; start < environment.size();) {
    const std::size_t end = environment.find('\0', start);
    const std::string entry = environment.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (entry.compare(0, 11, "WINEPREFIX=") == 0) return entry == wanted;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return prefix.empty();
}
}  // namespace

HostProcess HostProcess::Find(const std::string& exePath) {
  HostProcess found;
  const std::string prefix = OurPrefix();
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find{::FindFirstFileA((std::string(kProc) + "*").c_str(), &entry)};
  if (!find) return found;
  do {
    if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9') continue;
    const std::string dir = std::string(kProc) + entry.cFileName + "\\";
    if (!NamesProgram(korvtest::ReadFileText(dir + "cmdline"), exePath)) continue;
    if (!InPrefix(korvtest::ReadFileText(dir + "environ"), prefix)) continue;
    found.pid_ = entry.cFileName;
    found.dir_ = dir;
    return found;
  } while (::FindNextFileA(find.Get(), &entry));
  return found;
}

long long HostProcess::ResidentKiB() const {
  if (!Found()) return -1;
  const std::string status = korvtest::ReadFileText(dir_ + "status");
  const std::size_t at = status.find("VmRSS:");
  long long kib = -1;
  if (at == std::string::npos || std::sscanf(status.c_str() + at + 6, "%lld", &kib) != 1) return -1;
  return kib;
}

long long HostProcess::OpenDescriptors() const {
  if (!Found()) return -1;
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find{::FindFirstFileA((dir_ + "fd\\*").c_str(), &entry)};
  if (!find) return -1;
  long long count = 0;
  do {
    count += entry.cFileName[0] >= '0' && entry.cFileName[0] <= '9';
  } while (::FindNextFileA(find.Get(), &entry));
  return count;
}

}  // namespace soak
