#include <gtest/gtest.h>

#include <string>

#include "app/TrayText.h"

namespace {
// A two-byte code page where 0x81 to 0x9F open a character.
bool LeadByte(unsigned char c) { return c >= 0x81 && c <= 0x9F; }
}  // namespace

TEST(TooltipText, LongestFrenchDateFits) {
  const std::string date = "mercredi 30 sept. 2026 \xE0 23:59:59";
  const std::string tip = TooltipText(false, date);
  EXPECT_EQ(tip, "<Prochaine capture le " + date + ">");
  EXPECT_LE(tip.size(), kTooltipChars);
}

TEST(TooltipText, LongNamesAreShortenedKeepingTheClosingBracket) {
  const std::string date = "Donnerstagnachmittag 30 Septemberfeiertag 2026 \xE0 23:59:59";
  const std::string tip = TooltipText(false, date);
  EXPECT_EQ(tip.size(), kTooltipChars) << tip;
  EXPECT_EQ(tip, "<Prochaine capture le " + date.substr(0, 40) + ">");

  const std::string exact(40, 'x');
  EXPECT_EQ(TooltipText(false, exact).size(), kTooltipChars);
  EXPECT_EQ(TooltipText(false, exact + "y"), TooltipText(false, exact));
}

TEST(TooltipText, ShortenedNeverSplitsATwoByteCharacter) {
  // 39 single bytes, then a two-byte character across the limit of 40.
  const std::string date = std::string(39, 'a') + "\x88\x40" + "tail";
  const std::string tip = TooltipText(false, date, LeadByte);
  EXPECT_EQ(tip, "<Prochaine capture le " + std::string(39, 'a') + ">");
  EXPECT_EQ(TooltipText(false, date), "<Prochaine capture le " + std::string(39, 'a') + "\x88>")
      << "without a lead-byte test every byte is a character";
}

TEST(CutAtCharBoundary, PairsStayWhole) {
  // clang-format off
  EXPECT_EQ(CutAtCharBoundary("ab\x88\x40" "c", 3, LeadByte), "ab");
  EXPECT_EQ(CutAtCharBoundary("ab\x88\x40" "c", 4, LeadByte), "ab\x88\x40");
  // clang-format on
  EXPECT_EQ(CutAtCharBoundary("ab", 5, LeadByte), "ab");
  EXPECT_EQ(CutAtCharBoundary("abc\x88", 3, LeadByte), "abc");
  EXPECT_EQ(CutAtCharBoundary("", 0, nullptr), "");
  EXPECT_EQ(CutAtCharBoundary("abc", 0, nullptr), "");
}

// The entries' form is checked on the real menu (TrayMenuTest); the cut in a
// two-byte code page only here, as the tests run in Windows-1252.
TEST(ProjectMenuText, CutNeverSplitsATwoByteCharacter) {
  EXPECT_EQ(ProjectMenuText(0, std::string(29, 'a') + "\x88\x40" + "b", LeadByte),
            "&1 " + std::string(29, 'a') + "...");
}
