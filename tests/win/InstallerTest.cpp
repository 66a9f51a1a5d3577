// The setup program, installed and uninstalled silently, as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "app/OwnInstance.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
std::string InstallFolder() {
  char programFiles[MAX_PATH] = {};
  ::GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH);
  return std::string(programFiles) + "\\Korvamo\\";
}

DWORD RunAndWait(const std::string& commandLine) {
  RunningProgram p;
  if (!p.Start(commandLine)) return 0xFFFFFFFF;
  return p.WaitExit(60000);
}

bool SchedulerWindowExists() { return ::FindWindowA("TWebSched", nullptr) != nullptr; }
}  // namespace

TEST(Installer, InstallsStartsAndUninstallsCleanly) {
  const std::string setup = BinDir() + "KorvSchd-1.0.0-setup.exe";
  if (!FileExists(setup)) {
    if (std::getenv("KORV_REQUIRE_INSTALLER")) FAIL() << "missing " << setup;
    GTEST_SKIP() << "the installer was not built (target 'installer')";
  }
  ASSERT_FALSE(SchedulerWindowExists()) << "a scheduler already runs in this prefix";
  const std::string folder = InstallFolder();

  ASSERT_EQ(RunAndWait("\"" + setup + "\" /S"), 0u);
  EXPECT_TRUE(FileExists(folder + "KorvSchd.exe"));
  if (FileExists(BinDir() + "korvctl.exe")) {
    EXPECT_TRUE(FileExists(folder + "korvctl.exe"));
  }
  EXPECT_TRUE(FileExists(folder + "Uninstall.exe"));
  ASSERT_TRUE(WaitFor(SchedulerWindowExists, 15000)) << "the installer starts the scheduler at the end";
  std::string runValue;
  ASSERT_TRUE(WaitFor([&] { return ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, runValue); }, 5000));
  EXPECT_EQ(runValue, folder + "KorvSchd.exe");

  // _?= keeps the uninstaller in place so that its end is the end of the work.
  ASSERT_EQ(RunAndWait("\"" + folder + "Uninstall.exe\" /S _?=" + folder.substr(0, folder.size() - 1)), 0u);
  EXPECT_TRUE(WaitFor([] { return !SchedulerWindowExists(); }, 10000)) << "the running copy was asked to end";
  EXPECT_FALSE(FileExists(folder + "KorvSchd.exe"));
  EXPECT_FALSE(FileExists(folder + "korvctl.exe"));
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, runValue)) << runValue;
  ::DeleteFileA((folder + "Uninstall.exe").c_str());
  ::RemoveDirectoryA(folder.c_str());
}
