#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ProjectList.h"

using Lines = std::vector<std::string>;

TEST(SplitProjectList, EveryKindOfLineEnd) {
  EXPECT_EQ(SplitProjectList("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitProjectList("a\n\rb"), (Lines{"a", "", "b"})) << "LF then CR is two line ends";
  EXPECT_EQ(SplitProjectList("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(SplitProjectList, FinalLineEndAddsNoLineButEmptyLinesCount) {
  EXPECT_EQ(SplitProjectList(""), Lines{});
  EXPECT_EQ(SplitProjectList("a\r\n"), Lines{"a"});
  EXPECT_EQ(SplitProjectList("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(SplitProjectList("\r\n"), Lines{""});
  EXPECT_EQ(SplitProjectList("\n\nb"), (Lines{"", "", "b"}));
}

TEST(SplitProjectList, LinesAreTakenUnchanged) {
  EXPECT_EQ(SplitProjectList("  C:\\Sites\\a b\\p.kvp \t\r\n"), Lines{"  C:\\Sites\\a b\\p.kvp \t"});
  EXPECT_EQ(SplitProjectList("C:\\Caf\xE9\\p"), Lines{"C:\\Caf\xE9\\p"});
}

TEST(SplitProjectList, ALineEndsAtItsFirstNul) {
  using namespace std::string_literals;
  EXPECT_EQ(SplitProjectList("x\0y\n"s), Lines{"x"});
  EXPECT_EQ(SplitProjectList("C:\\Musee\\m.kvp\0C:\\Autre\\a.kvp\r\nC:\\b\0\0\rc\0"s),
            (Lines{"C:\\Musee\\m.kvp", "C:\\b", "c"}))
      << "the bytes after the NUL up to the line end belong to no line";
  EXPECT_EQ(SplitProjectList("\0tail\n\0"s), (Lines{"", ""}));
}

TEST(SplitProjectList, AtMostTheMenuBoundOfLines) {
  std::string text;
  for (std::size_t i = 0; i < kMaxProjects + 3; ++i) text += "C:\\p" + std::to_string(i) + "\r\n";
  const Lines lines = SplitProjectList(text);
  ASSERT_EQ(lines.size(), kMaxProjects);
  EXPECT_EQ(lines.back(), "C:\\p" + std::to_string(kMaxProjects - 1));
  text.resize(text.size() - 2);
  EXPECT_EQ(SplitProjectList(text).size(), kMaxProjects) << "without a final line end";
  EXPECT_EQ(SplitProjectList(std::string(kMaxProjects + 10, '\n')).size(), kMaxProjects) << "empty lines count";
}

TEST(SplitProjectList, StartOfALongerFileDropsItsUnfinishedLastLine) {
  EXPECT_EQ(SplitProjectList("a\r\nb\r\nc", false), (Lines{"a", "b"}));
  EXPECT_EQ(SplitProjectList("a\r\nb\r", false), (Lines{"a", "b"})) << "a CR ends its line";
  EXPECT_EQ(SplitProjectList("a\nb\0rest", false), Lines{"a"});
  EXPECT_EQ(SplitProjectList("no end at all", false), Lines{});
  EXPECT_EQ(SplitProjectList("a\r\nb\r\nc", true), (Lines{"a", "b", "c"}));
}

TEST(SplitProjectList, TheReadBoundHoldsTheMenuBoundOfLongestPaths) {
  const std::string longest(259, 'p');
  std::string text;
  for (std::size_t i = 0; i < kMaxProjects; ++i) text += longest + "\r\n";
  ASSERT_EQ(text.size(), kMaxProjectListSize);
  const Lines lines = SplitProjectList(text, false);
  ASSERT_EQ(lines.size(), kMaxProjects) << "a bounded read of such a list still shows every entry";
  EXPECT_EQ(lines.back(), longest);
}

namespace {
std::string Text(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }
std::string Version(int v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
}  // namespace

TEST(ParseProjectTitle, VersionDecidesWhetherASecondTextPrecedesTheTitle) {
  EXPECT_EQ(ParseProjectTitle(Text("first") + Version(511) + Text("title") + Text("more")), "title");
  EXPECT_EQ(ParseProjectTitle(Text("first") + Version(512) + Text("second") + Text("title")), "title");
  EXPECT_EQ(ParseProjectTitle(Text("") + Version(0x7FFF) + Text("second") + Text("title")), "title");
  EXPECT_EQ(ParseProjectTitle(Text("first") + Version(0x8000) + Text("title") + Text("x")), "title")
      << "0x8000 is negative";
  EXPECT_EQ(ParseProjectTitle(Text("first") + Version(0xFFFF) + Text("title")), "title");
  EXPECT_EQ(ParseProjectTitle(Text("f") + Version(0x0200) + Text("") + Text("")), "");
}

TEST(ParseProjectTitle, LongestTextsFitTheHeaderLimit) {
  const std::string t255(255, 'T');
  const std::string header = Text(std::string(255, 'a')) + Version(600) + Text(std::string(255, 'b')) + Text(t255);
  ASSERT_EQ(header.size(), kMaxProjectHeaderSize);
  EXPECT_EQ(ParseProjectTitle(header), t255);
}

TEST(ParseProjectTitle, HeaderCutShortGivesOnlyBytesPresent) {
  const std::string full = Text("first") + Version(512) + Text("second") + Text("the title");
  EXPECT_EQ(ParseProjectTitle(full.substr(0, full.size() - 4)), "the t");
  EXPECT_EQ(ParseProjectTitle(full.substr(0, full.size() - 9)), "") << "only the title's length byte";
  EXPECT_EQ(ParseProjectTitle(full.substr(0, 7)), "") << "inside the version";
  EXPECT_EQ(ParseProjectTitle(full.substr(0, 3)), "") << "inside the first text";
  EXPECT_EQ(ParseProjectTitle(""), "");
  EXPECT_EQ(ParseProjectTitle(std::string("\xFF", 1)), "");
}

TEST(ReadShortString, ReadsInTurnAndStopsAtTheEnd) {
  const std::string bytes = Text("ab") + Text("") + std::string("\x05xyz", 4);
  TByteStream stream{bytes};
  EXPECT_EQ(ReadShortString(stream), "ab");
  EXPECT_EQ(ReadShortString(stream), "");
  EXPECT_EQ(ReadShortString(stream), "xyz");
  EXPECT_EQ(stream.Position, bytes.size());
  EXPECT_EQ(ReadShortString(stream), "");
  EXPECT_EQ(stream.Position, bytes.size());
}

TEST(ProjectHomePage, FolderOfTheProjectFileWhateverItsName) {
  EXPECT_EQ(ProjectHomePage("C:\\Sites\\Doc\\anything.kvp"), "C:\\Sites\\Doc\\_accueil.htm");
  EXPECT_EQ(ProjectHomePage("D:proj.kvp"), "D:_accueil.htm");
  EXPECT_EQ(ProjectHomePage(""), "_accueil.htm");
  EXPECT_EQ(ProjectHomePage("proj.kvp"), "_accueil.htm");
}
