#include "sched/CaptureApp.h"

#include <windows.h>

#include "common/CommandLine.h"
#include "common/ModulePath.h"
#include "common/PathText.h"
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
    const std::string name = InstanceMutexName(kCaptureAppName);
    if (UniqueHandle running{::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str())}) return false;
    HANDLE created = ::CreateMutexA(nullptr, FALSE, name.c_str());
    // Found by the creation: it started after the first call, so it runs.
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    UniqueHandle probe{created};
    return probe && !existed;
  } catch (...) {
    // No name, no answer: taken as running, like a mutex that can be
    // neither opened nor created.
    return false;
  }
}

std::string CaptureAppPath() { return FolderOf(GetOwnExePath()) + kCaptureAppExe; }

bool LaunchProgram(const std::string& programPath, int showCommand) {
  const std::string commandLine = ProgramCommandLine(programPath);
  return ::WinExec(commandLine.c_str(), static_cast<UINT>(showCommand)) > 31;
}
