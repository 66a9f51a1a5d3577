// Properties: any text the component reader accepts is written back to a
// text that reads as the same component; the "LinkInfo" entries written for
// any service and topic read back to the same two names.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dde/ComponentText.h"
#include "dde/DdeText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (auto component = ReadComponentText(text)) {
    const std::string written = WriteComponentText(*component);
    auto again = ReadComponentText(written);
    if (!again || !(*again == *component)) std::abort();
    for (const StreamProperty& property : component->properties) {
      std::string service = "s", topic = "t";
      ApplyLinkInfo(property.value.list, service, topic);
    }
  }
  const auto half = text.size() / 2;
  const std::string service = text.substr(0, half), topic = text.substr(half);
  std::string readService, readTopic;
  ApplyLinkInfo(LinkInfoEntries(service, topic), readService, readTopic);
  if (readService != service || readTopic != topic) std::abort();
  return 0;
}
