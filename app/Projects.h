// Project files of the capture application, as the Webs submenu reads them.
#pragma once
#include <string>

// The title in a project file's header; empty when the file does not exist or
// cannot be opened. Reads at most the header.
std::string ReadProjectTitle(const std::string& Path);
