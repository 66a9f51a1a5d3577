// Decisions of the browser component that need no Windows: the executable
// named by an ".htm" association command, the key path of its open verb, the
// browser's DDE service name, the WWW_OpenURL request item, the fallback
// command line, and the rebuilding of a path from its long component names.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Registry texts of the association are read into a buffer of this size.
inline constexpr std::size_t kAssociationBufferSize = 257;

// "<class>\shell\open", or nothing when that does not fit the buffer with its
// terminating zero (a class name of more than 245 characters).
std::optional<std::string> OpenVerbKeyOf(std::string_view className);

// The executable of an association command: the text between a leading double
// quote and the next one (empty when there is no closing quote), else the text
// before the first blank, else the whole text. Arguments are dropped and
// environment references are left as they are.
std::string ExecutableOfCommand(std::string_view command);

// File name of the browser path (after its last '\' or ':'), ASCII letters
// upper-cased, cut before its first '.'.
std::string BrowserServiceNameOf(std::string_view browserPath);

// The WWW_OpenURL request item: "<url>",,0xffffffff,0x00000000,,, (url + 28).
std::string OpenUrlItem(std::string_view url);

// Browser path and page, each quoted when it holds a blank, joined by one
// blank. An empty path leaves the blank and the page.
std::string FallbackCommandLine(std::string_view browserPath, std::string_view url);

// Rebuilds a path from the long name of each component, looked up with
// longName for the path and each of its folder prefixes, innermost first. The
// part before the first backslash (a drive) is kept as written; a component
// whose lookup finds nothing becomes empty.
std::string ExpandLongPathWith(std::string_view path, const std::function<std::string(const std::string&)>& longName);
