// The project list split into lines from arbitrary bytes. Properties: no line
// holds a line end or a NUL; without NULs, the lines joined by LF give the
// file back with every line end made an LF and one final line end dropped; a
// NUL cuts its line short and changes nothing else; the start of the file,
// read as such, gives a start of its lines.
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
    Require(lines[i].find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    if (i) joined += '\n';
    joined += lines[i];
  }
  Require(lines.empty() == text.empty());
  if (text.find('\0') == std::string_view::npos) Require(joined == WithLfLineEnds(text));

  // The NULs made a byte that the text lacks: the same lines, but whole.
  if (text.find('\x01') == std::string_view::npos) {
    std::string marked(text);
    std::replace(marked.begin(), marked.end(), '\0', '\x01');
    const auto whole = SplitProjectList(marked);
    Require(whole.size() == lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) Require(whole[i].substr(0, whole[i].find('\x01')) == lines[i]);
  }

  const std::size_t step = size / 8 + 1;
  for (std::size_t cut = 0; cut <= size; cut += step) {
    const auto start = SplitProjectList(text.substr(0, cut), false);
    Require(start.size() <= lines.size());
    for (std::size_t i = 0; i < start.size(); ++i) Require(start[i] == lines[i]);
  }
  return 0;
}
