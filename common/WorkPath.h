// The capture application's work folder: win.ini [KORVAMO] WORKPATH, used as a
// prefix to which file names are appended without a separator.
#pragma once
#include <string>

// Empty when no work folder is set.
std::string GetWorkPath();
