#include "common/ModulePath.h"

#include <windows.h>

#include <vector>

std::string GetOwnExePath() {
  // A path cut at the buffer's size would name the wrong folder, so grow the
  // buffer until the whole name fits.
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size() - 1) return std::string(buffer.data(), n);
    if (buffer.size() >= 65536) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}
