#include "common/CommandLine.h"

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
