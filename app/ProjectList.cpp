#include "app/ProjectList.h"

#include <cstdint>

#include "common/PathText.h"

std::vector<std::string> SplitProjectList(std::string_view text, bool wholeFile) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size() && lines.size() < kMaxProjects) {
    const char c = text[i];
    if (c != '\r' && c != '\n') {
      ++i;
      continue;
    }
    const std::string_view line = text.substr(start, i - start);
    lines.emplace_back(line.substr(0, line.find('\0')));
    i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (wholeFile && start < text.size() && lines.size() < kMaxProjects) {
    const std::string_view line = text.substr(start);
    lines.emplace_back(line.substr(0, line.find('\0')));
  }
  return lines;
}

std::string ReadShortString(TByteStream& Stream) {
  if (Stream.Remaining() == 0) return {};
  const std::size_t wanted = static_cast<unsigned char>(Stream.Bytes[Stream.Position++]);
  const std::size_t taken = wanted < Stream.Remaining() ? wanted : Stream.Remaining();
  std::string text(Stream.Bytes.substr(Stream.Position, taken));
  Stream.Position += taken;
  return text;
}

std::string ParseProjectTitle(std::string_view Header) {
  TByteStream stream{Header};
  ReadShortString(stream);
  // Without both version bytes nothing follows them either.
  if (stream.Remaining() < 2) return {};
  const auto low = static_cast<unsigned char>(Header[stream.Position]);
  const auto high = static_cast<unsigned char>(Header[stream.Position + 1]);
  stream.Position += 2;
  const auto version = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
  if (version >= 512) ReadShortString(stream);
  return ReadShortString(stream);
}

std::string ProjectHomePage(std::string_view ProjectFile) { return FolderOf(ProjectFile) + "_accueil.htm"; }
