#include "common/ProgramStart.h"

#include <windows.h>

bool StartCommandLine(const std::string& commandLine, int showCommand) {
  return ::WinExec(commandLine.c_str(), static_cast<UINT>(showCommand)) > 31;
}
