#include <gtest/gtest.h>

#include <map>

#include "browser/BrowserText.h"

TEST(BrowserText, OpenVerbKeyMustFitTheBuffer) {
  EXPECT_EQ(OpenVerbKeyOf("htmlfile").value_or("<none>"), "htmlfile\\shell\\open");
  std::string longest(245, 'c');
  EXPECT_EQ(OpenVerbKeyOf(longest).value_or("<none>").size(), 256u);
  EXPECT_FALSE(OpenVerbKeyOf(longest + "c").has_value());
}

TEST(BrowserText, ExecutableOfAssociationCommand) {
  EXPECT_EQ(ExecutableOfCommand("\"C:\\Program Files\\Web\\web.exe\" -nohome \"%1\""),
            "C:\\Program Files\\Web\\web.exe");
  EXPECT_EQ(ExecutableOfCommand("C:\\PROGRA~1\\WEB\\WEB.EXE %1"), "C:\\PROGRA~1\\WEB\\WEB.EXE");
  EXPECT_EQ(ExecutableOfCommand("C:\\Program Files\\web.exe %1"), "C:\\Program");
  EXPECT_EQ(ExecutableOfCommand("C:\\web.exe"), "C:\\web.exe");
  EXPECT_EQ(ExecutableOfCommand("\"C:\\Program Files\\web.exe %1"), "");
  EXPECT_EQ(ExecutableOfCommand("\"\""), "");
  EXPECT_EQ(ExecutableOfCommand("\""), "");
  EXPECT_EQ(ExecutableOfCommand(""), "");
  EXPECT_EQ(ExecutableOfCommand(" leading"), "");
  EXPECT_EQ(ExecutableOfCommand("%ProgramFiles%\\web.exe %1"), "%ProgramFiles%\\web.exe");
}

TEST(BrowserText, ServiceNameRule) {
  EXPECT_EQ(BrowserServiceNameOf(""), "");
  EXPECT_EQ(BrowserServiceNameOf("C:\\Web\\browse.exe"), "BROWSE");
  EXPECT_EQ(BrowserServiceNameOf("C:\\Web\\my.browser.exe"), "MY");
  EXPECT_EQ(BrowserServiceNameOf("C:\\Web.d\\navigator"), "NAVIGATOR");
  EXPECT_EQ(BrowserServiceNameOf("D:n\xE9t.exe"), "N\xE9T");
}

TEST(BrowserText, RequestItemIsTheUrlPlus28Characters) {
  for (std::string url : {"", "C:\\Mes Sites\\a b\\_accueil.htm", "http://x/?a=\"q\""}) {
    std::string item = OpenUrlItem(url);
    EXPECT_EQ(item.size(), url.size() + 28) << item;
    EXPECT_EQ(item, "\"" + url + "\",,0xffffffff,0x00000000,,,");
  }
}

TEST(BrowserText, FallbackQuotesWhatHoldsBlanks) {
  EXPECT_EQ(FallbackCommandLine("C:\\Web\\web.exe", "C:\\Sites\\a\\_accueil.htm"),
            "C:\\Web\\web.exe C:\\Sites\\a\\_accueil.htm");
  EXPECT_EQ(FallbackCommandLine("C:\\Program Files\\web.exe", "C:\\Mes Sites\\a\\_accueil.htm"),
            "\"C:\\Program Files\\web.exe\" \"C:\\Mes Sites\\a\\_accueil.htm\"");
  EXPECT_EQ(FallbackCommandLine("", "page.htm"), " page.htm");
}

TEST(BrowserText, ExpandLongPathLooksUpEachPrefixInnermostFirst) {
  std::map<std::string, std::string> names{
      {"C:\\PROGRA~1\\WEB\\WEB.EXE", "Web.exe"}, {"C:\\PROGRA~1\\WEB", "Web"}, {"C:\\PROGRA~1", "Program Files"}};
  std::vector<std::string> asked;
  auto lookup = [&](const std::string& p) {
    asked.push_back(p);
    auto it = names.find(p);
    return it == names.end() ? std::string() : it->second;
  };
  EXPECT_EQ(ExpandLongPathWith("C:\\PROGRA~1\\WEB\\WEB.EXE", lookup), "C:\\Program Files\\Web\\Web.exe");
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "C:\\PROGRA~1\\WEB\\WEB.EXE");
  EXPECT_EQ(asked[2], "C:\\PROGRA~1");
  EXPECT_EQ(ExpandLongPathWith("c:\\PROGRA~1\\GONE\\WEB.EXE", lookup), "c:\\\\\\");
  EXPECT_EQ(ExpandLongPathWith("web.exe", lookup), "web.exe");
  EXPECT_EQ(ExpandLongPathWith("\\PROGRA~1", lookup), "\\");
}
