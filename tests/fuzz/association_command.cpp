// Property: the executable taken from any association command is the text
// between a leading quote and the next one, or the text before the first
// blank; it never reaches past the command. The open-verb key always fits the
// registry buffer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "browser/BrowserText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string command(reinterpret_cast<const char*>(data), size);
  const std::string exe = ExecutableOfCommand(command);
  if (exe.size() > command.size()) std::abort();
  if (!command.empty() && command[0] == '"') {
    if (exe.find('"') != std::string::npos) std::abort();
    if (!exe.empty() && command.compare(0, exe.size() + 2, "\"" + exe + "\"") != 0) std::abort();
  } else {
    if (exe.find(' ') != std::string::npos || command.compare(0, exe.size(), exe) != 0) std::abort();
    if (exe.size() < command.size() && command[exe.size()] != ' ') std::abort();
  }
  if (auto key = OpenVerbKeyOf(command)) {
    if (key->size() >= kAssociationBufferSize || key->compare(0, command.size(), command) != 0) std::abort();
  } else if (command.size() + 11 < kAssociationBufferSize) {
    std::abort();
  }
  return 0;
}
