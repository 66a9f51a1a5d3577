// Command lines for starting programs: the capture application and the
// browser are both started by a path that may hold blanks.
#pragma once
#include <string>
#include <string_view>

// A program path as a command line: quoted when it holds a blank, so that
// Windows cannot start a program at a shorter prefix ("C:\Program.exe").
// Arguments, if any, follow after one blank, unchanged.
std::string ProgramCommandLine(std::string_view programPath, std::string_view arguments = {});
