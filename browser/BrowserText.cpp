#include "browser/BrowserText.h"

#include "common/CommandLine.h"
#include "common/PathText.h"

std::optional<std::string> OpenVerbKeyOf(std::string_view className) {
  std::string key = std::string(className) + "\\shell\\open";
  if (key.size() >= kAssociationBufferSize) return std::nullopt;
  return key;
}

std::string ExecutableOfCommand(std::string_view command) {
  if (!command.empty() && command.front() == '"') {
    std::string_view rest = command.substr(1);
    auto close = rest.find('"');
    if (close == std::string_view::npos) return {};
    return std::string(rest.substr(0, close));
  }
  return std::string(command.substr(0, command.find(' ')));
}

std::string BrowserServiceNameOf(std::string_view browserPath) {
  std::string name = FileNameOf(browserPath);
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  auto dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string OpenUrlItem(std::string_view url) {
  std::string item;
  item.reserve(url.size() + 28);
  item += '"';
  item += url;
  item += "\",,0xffffffff,0x00000000,,,";
  return item;
}

std::string FallbackCommandLine(std::string_view browserPath, std::string_view url) {
  // The page is one argument: quote it the way a program path is quoted.
  return ProgramCommandLine(browserPath) + ' ' + ProgramCommandLine(url);
}

std::string ExpandLongPathWith(std::string_view path, const std::function<std::string(const std::string&)>& longName) {
  std::string copy(path);
  std::string result;
  for (auto cut = copy.rfind('\\'); cut != std::string::npos; cut = copy.rfind('\\')) {
    result.insert(0, "\\" + longName(copy));
    copy.erase(cut);
  }
  return copy + result;
}
