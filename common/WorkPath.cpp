#include "common/WorkPath.h"

#include <windows.h>

std::string GetWorkPath() {
  char buffer[256] = {};
  // Size 255 of a 256-byte buffer: at most 254 characters come back.
  DWORD n = ::GetProfileStringA("KORVAMO", "WORKPATH", "", buffer, 255);
  return std::string(buffer, n);
}
