// Project titles kept from one opening of the menu to the next, each with the
// metadata of the file it was read from, so that an opening reads again only
// the headers of files that changed: one metadata call per project instead of
// an open, a read and a close. Main thread only. No file access here: the
// Win32 layer (Projects.cpp) answers through TProjectFiles.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What one metadata call tells of a regular file; times in 100-ns units since
// 1601, as the file system stamps them.
struct TFileStamp {
  std::uint64_t Size = 0;
  std::uint64_t Created = 0;
  std::uint64_t LastWrite = 0;
  bool operator==(const TFileStamp&) const = default;
};

// Last-write times come in ticks (2 s on FAT, a clock tick elsewhere): a
// write in the same tick as the one before leaves the stamp unchanged. A title
// read once its file's last write is this much older than the clock at the
// start of the reading can stand for the file as long as its stamp stays; a
// younger one is read again at the next opening.
inline constexpr std::uint64_t kStampSettleTime = 3 * 10000000ull;

bool StampSettled(const TFileStamp& stamp, std::uint64_t readingStart);

// The file system as the titles see it.
class TProjectFiles {
public:
  virtual ~TProjectFiles() = default;
  // The clock that stamps writes, in the stamps' unit.
  virtual std::uint64_t Now() = 0;
  // The stamp of the regular disk file under the name; none when there is no
  // such file (missing, a folder, a device).
  virtual std::optional<TFileStamp> Look(const std::string& path) = 0;
  // The title from the file's header (at most kMaxProjectHeaderSize bytes
  // read); none when the file could not be opened or read.
  virtual std::optional<std::string> ReadTitle(const std::string& path) = 0;
};

// One project's title without anything kept: empty for a name that cannot be
// a project file, a file that does not exist, is empty or cannot be read.
std::string ProjectTitle(const std::string& path, TProjectFiles& files);

class TProjectTitleCache {
public:
  // The titles of the listed projects, in the list's order, each as its file
  // holds it now; what is kept afterwards is only what this list names.
  std::vector<std::string> Titles(const std::vector<std::string>& paths, TProjectFiles& files);
  std::size_t Kept() const { return entries_.size(); }

private:
  struct TEntry {
    TFileStamp Stamp;
    std::string Title;
    // Whether the stamp was settled when the title was read.
    bool Settled = false;
  };
  std::unordered_map<std::string, TEntry> entries_;
};
