#include <gtest/gtest.h>

#include "dde/ComponentText.h"
#include "dde/DdeText.h"

TEST(DdeText, OwnServiceNameIsTheFileNameBeforeItsFirstDot) {
  EXPECT_EQ(OwnServiceNameOf("C:\\Program Files\\Korvamo\\KorvSchd.exe"), "KorvSchd");
  EXPECT_EQ(OwnServiceNameOf("C:\\x.y\\a.b.exe"), "a");
  EXPECT_EQ(OwnServiceNameOf("C:\\dir\\NoDot"), "NoDot");
  EXPECT_EQ(OwnServiceNameOf("C:.hidden"), "");
  EXPECT_EQ(OwnServiceNameOf(""), "");
}

TEST(DdeText, CodeIsUpperCaseHexWithoutLeadingZeros) {
  EXPECT_EQ(FormatDdeErrorText("DDE Error - conversation not established ($0%x)", 0x400A),
            "DDE Error - conversation not established ($0400A)");
  EXPECT_EQ(FormatDdeErrorText("($0%x)", 0), "($00)");
  EXPECT_EQ(FormatDdeErrorText("%x%x", 0xABCDEF12u), "ABCDEF12ABCDEF12");
  // Any other directive is plain text: a message can never read missing arguments.
  EXPECT_EQ(FormatDdeErrorText("%s %d %", 1), "%s %d %");
}

TEST(DdeText, TextLengthStopsAtTheFirstZeroOrTheDataEnd) {
  EXPECT_EQ(DdeTextLength("", 0), 0u);
  EXPECT_EQ(DdeTextLength(nullptr, 0), 0u);
  EXPECT_EQ(DdeTextLength("ab\0cd", 5), 2u);
  EXPECT_EQ(DdeTextLength("abcdef", 3), 3u);
}

// The round trip is the link_info fuzz target's property, and the Windows
// DDE tests' through a saved conversation.
TEST(DdeText, LinkInfoOfEmptyNamesKeepsTheWords) {
  auto empty = LinkInfoEntries("", "");
  EXPECT_EQ(empty[0], "Service ");
  EXPECT_EQ(empty[1], "Topic ");
}

TEST(DdeText, LinkInfoReadingRules) {
  std::string service = "old", topic = "old";
  // The word alone is its own value; later entries win; only upper-case S/T count.
  ApplyLinkInfo({"Service", "", "service lower", "x Other", "Topic a b", "T2 second"}, service, topic);
  EXPECT_EQ(service, "Service");
  EXPECT_EQ(topic, "second");
  ApplyLinkInfo({"S  two blanks"}, service, topic);
  EXPECT_EQ(service, " two blanks");
}

TEST(ComponentText, RoundTripOfEveryValueKind) {
  ComponentText component{"TDdeClientConv",
                          {{"ServiceApplication", StreamValue::Text("C:\\It's here\\b.exe")},
                           {"ConnectMode", StreamValue::Identifier("ddeManual")},
                           {"Odd", StreamValue::Text(std::string("a\r\n\0\x7F\xE9", 6))},
                           {"Empty", StreamValue::Text("")},
                           {"LinkInfo", StreamValue::List({"Service VIEWER", "Topic ", ""})},
                           {"None", StreamValue::List({})}}};
  std::string text = WriteComponentText(component);
  auto back = ReadComponentText(text);
  ASSERT_TRUE(back.has_value()) << text;
  EXPECT_EQ(*back, component) << text;
  EXPECT_NE(text.find("ServiceApplication = 'C:\\It''s here\\b.exe'"), std::string::npos) << text;
  EXPECT_NE(text.find("'a'#13#10#0#127'\xE9'"), std::string::npos) << text;
}

TEST(ComponentText, MalformedTextsAreRefused) {
  for (const char* bad : {"", "object", "object X", "object X A = end", "object X A 'v' end", "object X A = 'open end",
                          "object X A = #256 end", "object X A = # end", "object X A = ('a' end",
                          "object X A = (b) end", "object X end trailing", "thing X end", "object X A = 'a\nb' end"}) {
    EXPECT_FALSE(ReadComponentText(bad).has_value()) << bad;
  }
  auto ok = ReadComponentText("  object X\n A = 'a'#65'b' B=c C=( ) \nend \r\n");
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(ok->properties[0].value.text, "aAb");
  EXPECT_EQ(ok->properties[1].value, StreamValue::Identifier("c"));
  EXPECT_EQ(ok->properties[2].value, StreamValue::List({}));
}
