// Titles kept between openings against a simulated file system whose clock
// runs on while it is used and whose last-write stamps come in ticks (from
// 100 ns to FAT's 2 s, cut down or rounded up), with writes that keep the
// size, files deleted, made again and held by their writer, and writes that
// land in the middle of an opening. Property: an opening that no write
// overlaps shows every title as its file holds it then; a file that cannot be
// read shows its title or nothing, never an older one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/ProjectTitles.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}

class Bytes {
public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

constexpr std::uint64_t kMs = 10000;
constexpr std::uint64_t kTicks[] = {1, 10 * kMs, 1000 * kMs, 2000 * kMs};
const std::string kNames[] = {"C:\\a.kvp", "C:\\b.kvp", "C:\\c.kvp", "C:\\d.kvp"};

class SimulatedFiles : public TProjectFiles {
public:
  struct File {
    std::string Title;
    TFileStamp Stamp;
    bool Held = false;
  };

  SimulatedFiles(std::uint64_t tick, bool roundUp) : tick_(tick), roundUp_(roundUp) {}

  std::uint64_t Now() override { return Step(); }
  std::optional<TFileStamp> Look(const std::string& path) override {
    Step();
    const auto f = files.find(path);
    if (f == files.end()) return std::nullopt;
    return f->second.Stamp;
  }
  std::optional<std::string> ReadTitle(const std::string& path) override {
    Step();
    const auto f = files.find(path);
    if (f == files.end() || f->second.Held) return std::nullopt;
    return f->second.Title;
  }

  void Write(const std::string& path, const std::string& title) {
    File& f = files[path];
    const bool made = f.Stamp.Size == 0;
    f.Title = title;
    f.Stamp.Size = 20 + title.size();
    f.Stamp.LastWrite = Stamp(clock);
    if (made) f.Stamp.Created = Stamp(clock);
  }
  // A write that happens when the opening has made its n-th call.
  void WriteDuringOpening(int call, std::string path, std::string title) {
    pending_ = Pending{call, std::move(path), std::move(title)};
  }
  bool PendingLeft() const { return pending_.has_value(); }

  std::uint64_t clock = 130000000000000000ull;
  std::uint64_t callCost = 0;
  std::map<std::string, File> files;

private:
  struct Pending {
    int Call;
    std::string Path;
    std::string Title;
  };

  std::uint64_t Stamp(std::uint64_t t) const { return roundUp_ ? (t + tick_ - 1) / tick_ * tick_ : t / tick_ * tick_; }
  std::uint64_t Step() {
    clock += callCost;
    if (pending_ && pending_->Call-- == 0) {
      Write(pending_->Path, pending_->Title);
      pending_.reset();
    }
    return clock;
  }

  std::uint64_t tick_;
  bool roundUp_;
  std::optional<Pending> pending_;
};

// Titles of one length, so that most rewrites keep the file's size.
std::string TitleFrom(std::uint8_t b) { return (b & 0x80) ? "long " + std::to_string(b) : std::to_string(b % 4); }

std::uint64_t Delay(std::uint8_t b) {
  switch (b % 5) {
    case 0: return 0;
    case 1: return b;
    case 2: return b * kMs;
    case 3: return b * 100 * kMs;
    default: return b * 1000 * kMs;
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t setup = in.Next();
  SimulatedFiles fs(kTicks[setup % 4], (setup & 4) != 0);
  fs.callCost = (setup & 8) ? 5 * kMs : 0;
  TProjectTitleCache cache;
  std::vector<std::string> list(kNames, kNames + 4);
  while (!in.Empty()) {
    const std::uint8_t op = in.Next();
    const std::string& name = kNames[(op >> 4) & 3];
    switch (op % 7) {
      case 0: fs.clock += Delay(in.Next()); break;
      case 1: fs.Write(name, TitleFrom(in.Next())); break;
      case 2: fs.files.erase(name); break;
      case 3:
        if (fs.files.count(name)) fs.files[name].Held = !fs.files[name].Held;
        break;
      case 4: fs.WriteDuringOpening(in.Next() % 10, name, TitleFrom(in.Next())); break;
      case 5: list.assign(kNames + ((op >> 4) & 1), kNames + 4 - ((op >> 5) & 1)); break;
      default: {
        const bool overlapped = fs.PendingLeft();
        const std::vector<std::string> titles = cache.Titles(list, fs);
        Require(titles.size() == list.size());
        const bool written = overlapped && !fs.PendingLeft();
        if (written) break;
        for (std::size_t i = 0; i < list.size(); ++i) {
          const auto f = fs.files.find(list[i]);
          if (f == fs.files.end()) {
            Require(titles[i].empty());
          } else if (f->second.Held) {
            Require(titles[i].empty() || titles[i] == f->second.Title);
          } else {
            Require(titles[i] == f->second.Title);
          }
        }
      }
    }
  }
  return 0;
}
