#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/ProjectTitles.h"

using Titles = std::vector<std::string>;

namespace {
constexpr std::uint64_t kSecond = 10000000;

// Files as the titles see them, every call counted.
class FakeFiles : public TProjectFiles {
public:
  struct File {
    std::string Title;
    TFileStamp Stamp;
    bool Readable = true;
  };
  std::uint64_t Now() override { return clock; }
  std::optional<TFileStamp> Look(const std::string& path) override {
    ++looks;
    const auto f = files.find(path);
    if (f == files.end()) return std::nullopt;
    return f->second.Stamp;
  }
  std::optional<std::string> ReadTitle(const std::string& path) override {
    reads.push_back(path);
    const auto f = files.find(path);
    if (f == files.end() || !f->second.Readable) return std::nullopt;
    return f->second.Title;
  }
  // A write at the clock's time, in a file system of whole seconds.
  void Write(const std::string& path, const std::string& title) {
    File& f = files[path];
    f.Title = title;
    f.Stamp.LastWrite = clock / kSecond * kSecond;
    f.Stamp.Size = 10 + title.size();
    if (f.Stamp.Created == 0) f.Stamp.Created = f.Stamp.LastWrite;
  }

  std::uint64_t clock = 1000 * kSecond;
  std::map<std::string, File> files;
  int looks = 0;
  std::vector<std::string> reads;
};
}  // namespace

TEST(ProjectTitleCache, SettledUnchangedFilesAreLookedAtNotRead) {
  FakeFiles fs;
  fs.Write("a", "Alpha");
  fs.Write("b", "Beta");
  fs.clock += 10 * kSecond;
  TProjectTitleCache cache;
  EXPECT_EQ(cache.Titles({"a", "b"}, fs), (Titles{"Alpha", "Beta"}));
  EXPECT_EQ(fs.reads.size(), 2u);
  EXPECT_EQ(cache.Titles({"a", "b"}, fs), (Titles{"Alpha", "Beta"}));
  EXPECT_EQ(fs.reads.size(), 2u) << "nothing changed, nothing read";
  EXPECT_EQ(fs.looks, 4);
}

TEST(ProjectTitleCache, ARewriteInTheSameTickWithTheSameSizeShows) {
  FakeFiles fs;
  fs.clock += kSecond / 10;
  fs.Write("a", "Alpha");
  TProjectTitleCache cache;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha"});
  fs.clock += kSecond / 10;
  const TFileStamp before = fs.files["a"].Stamp;
  fs.Write("a", "Omega");
  ASSERT_EQ(fs.files["a"].Stamp, before) << "same second, same size: the stamp cannot tell";
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Omega"});
  fs.clock += kStampSettleTime;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Omega"}) << "read once more, now that the stamp has settled";
  EXPECT_EQ(fs.reads.size(), 3u);
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Omega"});
  EXPECT_EQ(fs.reads.size(), 3u);
}

TEST(ProjectTitleCache, AnyChangeOfSizeTimesOrFileIsReadAgain) {
  FakeFiles fs;
  fs.Write("a", "Alpha");
  fs.clock += 10 * kSecond;
  TProjectTitleCache cache;
  ASSERT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha"});
  fs.files["a"].Title = "Alpha2";
  fs.files["a"].Stamp.Size += 1;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha2"}) << "size";
  fs.files["a"].Title = "Alpha3";
  fs.files["a"].Stamp.Created += 1;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha3"}) << "a new file under the old name";
  fs.files["a"].Title = "Alpha4";
  fs.files["a"].Stamp.LastWrite -= kSecond;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha4"}) << "a last write put back in time";
  EXPECT_EQ(fs.reads.size(), 4u);
}

TEST(ProjectTitleCache, AStampAheadOfTheClockIsNeverSettled) {
  FakeFiles fs;
  fs.Write("a", "Alpha");
  fs.files["a"].Stamp.LastWrite += 3600 * kSecond;
  TProjectTitleCache cache;
  cache.Titles({"a"}, fs);
  cache.Titles({"a"}, fs);
  EXPECT_EQ(fs.reads.size(), 2u);
  EXPECT_FALSE(StampSettled(fs.files["a"].Stamp, fs.clock));
  EXPECT_TRUE(StampSettled(TFileStamp{1, 0, fs.clock - kStampSettleTime}, fs.clock));
  EXPECT_FALSE(StampSettled(TFileStamp{1, 0, fs.clock - kStampSettleTime + 1}, fs.clock));
}

TEST(ProjectTitleCache, FailedReadsKeepNothing) {
  FakeFiles fs;
  fs.Write("a", "Alpha");
  fs.clock += 10 * kSecond;
  fs.files["a"].Readable = false;
  TProjectTitleCache cache;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{""});
  EXPECT_EQ(cache.Kept(), 0u);
  fs.files["a"].Readable = true;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{"Alpha"});

  fs.Write("a", "Changed while held");
  fs.files["a"].Readable = false;
  fs.clock += 10 * kSecond;
  EXPECT_EQ(cache.Titles({"a"}, fs), Titles{""}) << "never the title the file no longer holds";
}

TEST(ProjectTitleCache, NoFileNoRead) {
  FakeFiles fs;
  fs.Write("empty", "");
  fs.files["empty"].Stamp.Size = 0;
  TProjectTitleCache cache;
  EXPECT_EQ(cache.Titles({"missing", "empty", "", "NUL", "C:\\x\\com1.kvp", "\\\\.\\pipe\\p"}, fs),
            (Titles{"", "", "", "", "", ""}));
  EXPECT_TRUE(fs.reads.empty());
  EXPECT_EQ(fs.looks, 2) << "names of devices are not even looked at";
}

TEST(ProjectTitleCache, KeepsWhatTheLastListNamesAndReadsADuplicateOnce) {
  FakeFiles fs;
  for (const char* p : {"a", "b", "c"}) fs.Write(p, std::string("T") + p);
  fs.clock += 10 * kSecond;
  TProjectTitleCache cache;
  EXPECT_EQ(cache.Titles({"a", "b", "a", "c"}, fs), (Titles{"Ta", "Tb", "Ta", "Tc"}));
  EXPECT_EQ(fs.reads, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(cache.Kept(), 3u);
  EXPECT_EQ(cache.Titles({"c"}, fs), Titles{"Tc"});
  EXPECT_EQ(cache.Kept(), 1u);
  fs.reads.clear();
  EXPECT_EQ(cache.Titles({"a", "c"}, fs), (Titles{"Ta", "Tc"}));
  EXPECT_EQ(fs.reads, std::vector<std::string>{"a"}) << "a project back in the list is read again";
  fs.files.erase("a");
  EXPECT_EQ(cache.Titles({"a", "c"}, fs), (Titles{"", "Tc"})) << "a deleted project";
  EXPECT_EQ(cache.Titles({}, fs), Titles{});
  EXPECT_EQ(cache.Kept(), 0u);
}

TEST(ProjectTitle, UnkeptTitleFollowsTheSameRules) {
  FakeFiles fs;
  fs.Write("a", "Alpha");
  EXPECT_EQ(ProjectTitle("a", fs), "Alpha");
  EXPECT_EQ(ProjectTitle("missing", fs), "");
  EXPECT_EQ(ProjectTitle("CON", fs), "");
  fs.files["a"].Readable = false;
  EXPECT_EQ(ProjectTitle("a", fs), "");
  EXPECT_EQ(fs.looks, 3);
}
