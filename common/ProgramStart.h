// The one way programs are started: the capture application, the browser by
// its command line, a DDE server that is not running yet.
#pragma once
#include <string>

// Hands the command line, unchanged, to WinExec with the show command (an
// SW_ value). True when the program was started: WinExec's results 0 to 31
// are its failure codes.
bool StartCommandLine(const std::string& commandLine, int showCommand);
