// The project list split into lines from arbitrary bytes. Properties: no line
// holds a line end; the lines joined by LF give the file back with every line
// end made an LF and one final line end dropped.
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

std::string WithLfLineEnds(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto lines = SplitProjectList(text);
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Require(lines[i].find_first_of("\r\n") == std::string::npos);
    if (i) joined += '\n';
    joined += lines[i];
  }
  Require(joined == WithLfLineEnds(text));
  Require(lines.empty() == text.empty());
  return 0;
}
