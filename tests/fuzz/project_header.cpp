// Project headers from arbitrary bytes. Properties: the title is a slice of
// the file after a length byte that covers it; reading only the longest
// header gives the same title; a file cut anywhere gives a start of it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/ProjectList.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}

bool IsSliceAfterLengthByte(std::string_view bytes, const std::string& title) {
  for (std::size_t at = 1; at + title.size() <= bytes.size(); ++at) {
    if (static_cast<unsigned char>(bytes[at - 1]) >= title.size() && bytes.substr(at, title.size()) == title) {
      return true;
    }
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string title = ParseProjectTitle(bytes);
  Require(title.size() <= 255);
  Require(title.empty() || IsSliceAfterLengthByte(bytes, title));
  Require(ParseProjectTitle(bytes.substr(0, std::min(size, kMaxProjectHeaderSize))) == title);
  const std::size_t step = size / 16 + 1;
  for (std::size_t cut = 0; cut < size; cut += step) {
    const std::string shorter = ParseProjectTitle(bytes.substr(0, cut));
    Require(title.compare(0, shorter.size(), shorter) == 0);
  }
  return 0;
}
