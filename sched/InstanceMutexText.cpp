#include "sched/InstanceMutexText.h"

#include <algorithm>

std::string InstanceMutexNameBeforeUpperCase(std::string_view applicationName) {
  std::string name = "APPLICATION-";
  name += applicationName;
  std::replace(name.begin(), name.end(), '\\', '_');
  return name;
}
