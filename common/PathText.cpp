#include "common/PathText.h"

namespace {
std::string_view::size_type LastSeparator(std::string_view path) { return path.find_last_of("\\:"); }
}  // namespace

std::string FolderOf(std::string_view path) {
  auto pos = LastSeparator(path);
  if (pos == std::string_view::npos) return {};
  return std::string(path.substr(0, pos + 1));
}

std::string FileNameOf(std::string_view path) {
  auto pos = LastSeparator(path);
  if (pos == std::string_view::npos) return std::string(path);
  return std::string(path.substr(pos + 1));
}
