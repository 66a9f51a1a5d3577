// The instance-mutex naming rule shared with the capture application.
#pragma once
#include <string>
#include <string_view>

// "APPLICATION-" + name with every '\' turned into '_'. The caller upper-cases
// the result with the system's ANSI rules (accented letters included).
std::string InstanceMutexNameBeforeUpperCase(std::string_view applicationName);
