// The capture application's project list ("webs.dat") and project-file
// headers, taken apart from bytes already read. No file access here: the
// Win32 layer (Projects.cpp) reads the files and hands over their bytes.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Longest header read: a text, the 16-bit version, two more texts, each text
// being a length byte and up to 255 bytes.
inline constexpr std::size_t kMaxProjectHeaderSize = 3 * 256 + 2;

// One project-file path per line. Lines end at CR LF, a lone CR or a lone LF;
// a last line without an end counts; a final line end adds no empty line.
std::vector<std::string> SplitProjectList(std::string_view text);

// Bytes of a file read from its start; reads past the end deliver nothing.
struct TByteStream {
  std::string_view Bytes;
  std::size_t Position = 0;
  std::size_t Remaining() const { return Bytes.size() - Position; }
};

// The next length-prefixed text: one length byte, then that many bytes. A
// stream that ends early gives only the bytes it still holds.
std::string ReadShortString(TByteStream& Stream);

// The title of a project header: first text skipped, signed 16-bit version,
// a second text skipped when the version is 512 or more, then the title.
// A header cut short gives only title bytes that are present.
std::string ParseProjectTitle(std::string_view Header);

// The project's home page: "_accueil.htm" in the folder of the project file.
std::string ProjectHomePage(std::string_view ProjectFile);
