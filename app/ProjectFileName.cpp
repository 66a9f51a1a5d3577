#include "app/ProjectFileName.h"

#include <array>

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// COM and LPT take a digit, or a superscript one, two or three (Windows-1252).
bool IsPortDigit(char c) { return (c >= '0' && c <= '9') || c == '\xB9' || c == '\xB2' || c == '\xB3'; }

bool IsDeviceName(std::string_view name) {
  constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kNames) {
    if (SameLetters(name, device)) return true;
  }
  if (name.size() != 4 || !IsPortDigit(name[3])) return false;
  return SameLetters(name.substr(0, 3), "COM") || SameLetters(name.substr(0, 3), "LPT");
}

// "\\host\share\...": the share's name, else empty.
std::string_view UncShare(std::string_view path) {
  const std::size_t hostEnd = path.find_first_of("\\/", 2);
  if (hostEnd == std::string_view::npos) return {};
  const std::string_view rest = path.substr(hostEnd + 1);
  return rest.substr(0, rest.find_first_of("\\/"));
}

// The last part of the name as Windows compares it with device names: after
// the last separator (or a drive's colon), trailing colons dropped, then cut
// at its first dot or colon, trailing blanks dropped.
std::string_view DeviceCandidate(std::string_view path) {
  while (!path.empty() && path.back() == ':') path.remove_suffix(1);
  const std::size_t cut = path.find_last_of("\\/");
  std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  if (cut == std::string_view::npos && name.size() >= 2 && name[1] == ':') name.remove_prefix(2);
  name = name.substr(0, name.find_first_of(".:"));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}
}  // namespace

bool MayNameProjectFile(std::string_view path) {
  if (path.empty()) return false;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    if (path.size() >= 3 && (path[2] == '.' || path[2] == '?')) return false;
    const std::string_view share = UncShare(path);
    return !SameLetters(share, "PIPE") && !SameLetters(share, "MAILSLOT");
  }
  const bool ntPrefix = path.size() >= 4 && IsSeparator(path[0]) && path.substr(1, 2) == "??" && IsSeparator(path[3]);
  if (ntPrefix) return false;
  return !IsDeviceName(DeviceCandidate(path));
}
