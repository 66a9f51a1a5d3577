// Control of the capture application: the instance-mutex naming rule shared
// with it, whether it runs, where it is, and how programs are started.
#pragma once
#include <string>

inline constexpr char kCaptureAppName[] = "Korvamo 98";
inline constexpr char kCaptureAppExe[] = "KORV98.EXE";

std::string InstanceMutexName(const std::string& applicationName);
// True when the capture application's instance mutex does not exist. Only
// opens it, never creates it. Safe on any thread; raises nothing.
bool CaptureAppNotRunning();
std::string CaptureAppPath();
// Starts a program by its path (quoted when it holds blanks); true when started.
bool LaunchProgram(const std::string& programPath, int showCommand);
