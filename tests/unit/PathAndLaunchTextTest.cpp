#include <gtest/gtest.h>

#include "common/CommandLine.h"
#include "common/PathText.h"

TEST(PathText, FolderKeepsTheLastSeparator) {
  EXPECT_EQ(FolderOf("C:\\Program Files\\Korvamo\\KorvSchd.exe"), "C:\\Program Files\\Korvamo\\");
  EXPECT_EQ(FolderOf("C:KorvSchd.exe"), "C:");
  EXPECT_EQ(FolderOf("KorvSchd.exe"), "");
  EXPECT_EQ(FolderOf(""), "");
  EXPECT_EQ(FolderOf("C:\\Sites\\a:b"), "C:\\Sites\\a:");
}

TEST(PathText, FileNameAfterTheLastSeparator) {
  EXPECT_EQ(FileNameOf("C:\\dir\\prog.exe"), "prog.exe");
  EXPECT_EQ(FileNameOf("C:prog.exe"), "prog.exe");
  EXPECT_EQ(FileNameOf("prog.exe"), "prog.exe");
  EXPECT_EQ(FileNameOf("C:\\dir\\"), "");
}

TEST(LaunchText, PathWithBlanksIsQuotedArgumentsUnchanged) {
  EXPECT_EQ(ProgramCommandLine("C:\\Korvamo\\KORV98.EXE"), "C:\\Korvamo\\KORV98.EXE");
  EXPECT_EQ(ProgramCommandLine("C:\\Program Files\\Korvamo\\KORV98.EXE"), "\"C:\\Program Files\\Korvamo\\KORV98.EXE\"");
  EXPECT_EQ(ProgramCommandLine("C:\\Program Files\\b.exe", "C:\\Mes Sites\\a b.htm"),
            "\"C:\\Program Files\\b.exe\" C:\\Mes Sites\\a b.htm");
  EXPECT_EQ(ProgramCommandLine("\"C:\\Program Files\\b.exe\""), "\"C:\\Program Files\\b.exe\"");
  EXPECT_EQ(ProgramCommandLine(""), "");
}
