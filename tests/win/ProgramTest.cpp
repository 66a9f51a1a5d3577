// The real KorvSchd.exe from outside: single instance, Run value, hidden
// window, ending on WM_CLOSE. Uses the real Run value and window class.
#include <windows.h>
#include <gtest/gtest.h>

#include "app/OwnInstance.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  // wineboot starts what the Run key names; leave nothing behind.
  void TearDown() override { DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName); }

  TempFolder folder{"program"};
};

std::string RunValue() {
  std::string value;
  if (!ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, value)) return "<absent>";
  return value;
}
}  // namespace

TEST_F(ProgramTest, EveryStartWritesTheRunValueAndWmCloseLeavesIt) {
  const std::string exe = folder.CopyProgram("KorvSchd.exe");
  SchedulerUnderTest first;
  ASSERT_TRUE(first.Start(exe));
  EXPECT_EQ(RunValue(), exe);
  EXPECT_EQ(first.Close(), 0u);
  EXPECT_EQ(RunValue(), exe) << "WM_CLOSE is not an unload: the Run value stays";

  WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, "stale");
  SchedulerUnderTest second;
  ASSERT_TRUE(second.Start(exe));
  EXPECT_EQ(RunValue(), exe);
  EXPECT_EQ(second.Close(), 0u);
}

TEST_F(ProgramTest, TheRunValueIsQuotedWhenThePathHoldsABlank) {
  // Unquoted, Windows would try "...\Program.exe" first at the next logon.
  TempFolder parent("blank");
  ASSERT_TRUE(::CreateDirectoryA((parent.Path() + "Program Files").c_str(), nullptr));
  const std::string exe = parent.CopyProgram("KorvSchd.exe", "Program Files\\KorvSchd.exe");
  SchedulerUnderTest program;
  ASSERT_TRUE(program.Start(exe));
  EXPECT_EQ(RunValue(), "\"" + exe + "\"");
  EXPECT_EQ(program.Close(), 0u);
}

TEST_F(ProgramTest, SecondCopyEndsAtOnceWithoutTouchingAnything) {
  const std::string exe = folder.CopyProgram("KorvSchd.exe");
  SchedulerUnderTest first;
  ASSERT_TRUE(first.Start(exe));
  WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, "sentinel");

  RunningProgram second;
  ASSERT_TRUE(second.Start("\"" + exe + "\"", folder.Path()));
  EXPECT_EQ(second.WaitExit(10000), 0u);
  EXPECT_EQ(RunValue(), "sentinel");
  EXPECT_EQ(second.FindWindowOfClass("TWebSched", 0), nullptr);

  EXPECT_EQ(first.Close(), 0u);
}

TEST_F(ProgramTest, CopiesUnderTwoFileNamesRunSideBySide) {
  const std::string a = folder.CopyProgram("KorvSchd.exe");
  const std::string b = folder.CopyProgram("KorvSchd.exe", "OtherSchd.exe");
  SchedulerUnderTest first, second;
  ASSERT_TRUE(first.Start(a));
  ASSERT_TRUE(second.Start(b)) << "a copy under another file name has its own instance mutex";
  EXPECT_EQ(second.Close(), 0u);
  EXPECT_EQ(first.Close(), 0u);
}

TEST_F(ProgramTest, StartsAndWorksWithoutTheRunKey) {
  ASSERT_EQ(::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRunKey), ERROR_SUCCESS);
  const std::string exe = folder.CopyProgram("KorvSchd.exe");
  SchedulerUnderTest program;
  EXPECT_TRUE(program.Start(exe));
  EXPECT_EQ(program.Close(), 0u);
  HKEY key = nullptr;
  EXPECT_NE(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key), ERROR_SUCCESS)
      << "the Run key is opened, never created";
  if (key) ::RegCloseKey(key);
}

TEST_F(ProgramTest, HiddenWindowSitsAtTheScreenCentreAndIsNeverShown) {
  const std::string exe = folder.CopyProgram("KorvSchd.exe");
  SchedulerUnderTest program;
  ASSERT_TRUE(program.Start(exe));
  RECT r{};
  ASSERT_TRUE(::GetWindowRect(program.window, &r));
  EXPECT_EQ(r.left, ::GetSystemMetrics(SM_CXSCREEN) / 2);
  EXPECT_EQ(r.top, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  // Created 0 x 0; the system may raise that to its minimum window size.
  EXPECT_LE(r.right - r.left, ::GetSystemMetrics(SM_CXMIN));
  EXPECT_LE(r.bottom - r.top, ::GetSystemMetrics(SM_CYMIN));
  EXPECT_FALSE(::IsWindowVisible(program.window));
  EXPECT_EQ(::GetParent(program.window), nullptr);
  ::Sleep(700);
  EXPECT_FALSE(::IsWindowVisible(program.window)) << "still hidden after a few scheduler cycles";
  EXPECT_EQ(program.Close(), 0u);
}
