// Texts for naming and starting programs, shared with the capture application.
#pragma once
#include <string>
#include <string_view>

// "APPLICATION-" + name with every '\' turned into '_'. The caller upper-cases
// the result with the system's ANSI rules (accented letters included).
std::string InstanceMutexNameBeforeUpperCase(std::string_view applicationName);

// A program path as a command line: quoted when it holds a blank, so that
// Windows cannot start a program at a shorter prefix ("C:\Program.exe").
// Arguments, if any, follow after one blank, unchanged.
std::string ProgramCommandLine(std::string_view programPath, std::string_view arguments = {});
