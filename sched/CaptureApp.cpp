#include "sched/CaptureApp.h"

#include <windows.h>

#include "common/CommandLine.h"
#include "common/ModulePath.h"
#include "common/PathText.h"
#include "common/ProgramStart.h"
#include "common/Win32Handles.h"
#include "sched/InstanceMutexText.h"

std::string InstanceMutexName(const std::string& applicationName) {
  std::string name = InstanceMutexNameBeforeUpperCase(applicationName);
  // The system's ANSI upper-casing, so that accented letters follow the same
  // rule as in the capture application.
  if (!name.empty()) ::CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

bool CaptureAppNotRunning() {
  try {
    // Opened, never created: a mutex made here, even for an instant, would
    // make a capture application starting in that instant take itself for a
    // second copy and quit.
    const std::string name = InstanceMutexName(kCaptureAppName);
    HANDLE opened = ::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    const DWORD error = ::GetLastError();
    if (UniqueHandle running{opened}) return false;
    // Only "no such object" says it does not run; any other failure (a
    // mutex this user may not open, say) is taken as running.
    return error == ERROR_FILE_NOT_FOUND;
  } catch (...) {
    // No name, no answer: taken as running.
    return false;
  }
}

std::string CaptureAppPath() { return FolderOf(GetOwnExePath()) + kCaptureAppExe; }

bool LaunchProgram(const std::string& programPath, int showCommand) {
  return StartCommandLine(ProgramCommandLine(programPath), showCommand);
}
