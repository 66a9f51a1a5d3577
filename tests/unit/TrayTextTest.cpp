#include <gtest/gtest.h>

#include <string>

#include "app/TrayText.h"

namespace {
// A two-byte code page where 0x81 to 0x9F open a character.
bool LeadByte(unsigned char c) { return c >= 0x81 && c <= 0x9F; }
}  // namespace

TEST(TooltipText, ThreeStates) {
  // clang-format off
  EXPECT_EQ(TooltipText(true, "mardi 8 d\xE9" "c. 2026 \xE0 10:00:00"), "<Gestionnaire suspendu>");
  EXPECT_EQ(TooltipText(false, ""), "<Aucune t\xE2" "che en attente d'\xE9" "xecution>");
  EXPECT_EQ(TooltipText(false, "mardi 8 d\xE9" "c. 2026 \xE0 10:00:00"),
            "<Prochaine capture le mardi 8 d\xE9" "c. 2026 \xE0 10:00:00>");
  // clang-format on
}

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

TEST(ProjectMenuText, NumberBlankAndTitleCutAfterThirtyCharacters) {
  const std::string t30(30, 'T');
  EXPECT_EQ(ProjectMenuText(0, t30), "&1 " + t30);
  EXPECT_EQ(ProjectMenuText(0, t30 + "U"), "&1 " + t30 + "...");
  EXPECT_EQ((ProjectMenuText(0, t30 + "U").size()), 3u + 33u);
  EXPECT_EQ(ProjectMenuText(9, "Dix"), "&10 Dix");
  EXPECT_EQ(ProjectMenuText(2, ""), "&3 ");
  EXPECT_EQ(ProjectMenuText(0, "R&D"), "&1 R&D") << "the title is used unchanged";
  EXPECT_EQ(ProjectMenuText(0, std::string(29, 'a') + "\x88\x40" + "b", LeadByte),
            "&1 " + std::string(29, 'a') + "...");
}
