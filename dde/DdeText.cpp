#include "dde/DdeText.h"

#include <cstring>

#include "common/PathText.h"
#include "res/resource.h"

std::string OwnServiceNameOf(std::string_view programPath) {
  std::string name = FileNameOf(programPath);
  auto dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

int DdeErrorMessageId(unsigned code) {
  constexpr unsigned kLowMemory = 0x4007, kMemoryError = 0x4008, kNoConvEstablished = 0x400A;
  if (code == kLowMemory || code == kMemoryError) return IDS_DDE_OUT_OF_MEMORY;
  if (code == kNoConvEstablished) return IDS_DDE_NO_CONVERSATION;
  return IDS_DDE_ERROR;
}

std::string FormatDdeErrorText(std::string_view format, unsigned code) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  do {
    hex.insert(hex.begin(), kDigits[code & 0xF]);
    code >>= 4;
  } while (code);
  std::string text;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'x') {
      text += hex;
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

std::size_t DdeTextLength(const char* data, std::size_t size) {
  const void* zero = size ? std::memchr(data, 0, size) : nullptr;
  return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size;
}

std::vector<std::string> LinkInfoEntries(std::string_view service, std::string_view topic) {
  return {"Service " + std::string(service), "Topic " + std::string(topic)};
}

void ApplyLinkInfo(const std::vector<std::string>& entries, std::string& service, std::string& topic) {
  for (const std::string& entry : entries) {
    if (entry.empty()) continue;
    auto blank = entry.find(' ');
    std::string value = blank == std::string::npos ? entry : entry.substr(blank + 1);
    if (entry[0] == 'S') {
      service = std::move(value);
    } else if (entry[0] == 'T') {
      topic = std::move(value);
    }
  }
}
