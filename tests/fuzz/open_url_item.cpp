// Properties: the WWW_OpenURL item of any URL is the URL in double quotes
// followed by the fixed arguments, 28 characters more than the URL; the
// fallback command line carries the URL whole, quoted when it has a blank.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "browser/BrowserText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const std::string item = OpenUrlItem(url);
  if (item.size() != url.size() + 28) std::abort();
  if (item.compare(0, url.size() + 2, "\"" + url + "\"") != 0) std::abort();
  if (item.compare(item.size() - 26, 26, ",,0xffffffff,0x00000000,,,") != 0) std::abort();

  const std::string line = FallbackCommandLine("C:\\Program Files\\Web\\web.exe", url);
  const std::string head = "\"C:\\Program Files\\Web\\web.exe\" ";
  if (line.compare(0, head.size(), head) != 0) std::abort();
  const std::string page = line.substr(head.size());
  const bool blank = url.find_first_of(" \t") != std::string::npos;
  const bool quoted = url.size() >= 2 && url.front() == '"' && url.back() == '"';
  if (page != ((blank && !quoted) ? "\"" + url + "\"" : url)) std::abort();
  return 0;
}
