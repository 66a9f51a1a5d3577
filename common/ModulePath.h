// The running program's own executable path, which names its folder (where
// the capture application lives), its instance mutex and its DDE service.
#pragma once
#include <string>

// Empty when the system cannot say.
std::string GetOwnExePath();
