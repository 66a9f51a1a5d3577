#include "sched/LaunchText.h"

#include <algorithm>

std::string InstanceMutexNameBeforeUpperCase(std::string_view applicationName) {
  std::string name = "APPLICATION-";
  name += applicationName;
  std::replace(name.begin(), name.end(), '\\', '_');
  return name;
}

std::string ProgramCommandLine(std::string_view programPath, std::string_view arguments) {
  std::string line;
  bool quote = programPath.find_first_of(" \t") != std::string_view::npos &&
               !(programPath.size() >= 2 && programPath.front() == '"' && programPath.back() == '"');
  if (quote) line += '"';
  line += programPath;
  if (quote) line += '"';
  if (!arguments.empty()) {
    line += ' ';
    line += arguments;
  }
  return line;
}
