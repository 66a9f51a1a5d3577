// The setup program, installed and uninstalled silently, as a user would. It
// runs elevated on Windows, so it writes what a standard user's copy of the
// program cannot: the Run value and the schedule key.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/OwnInstance.h"
#include "sched/ScheduleRegistry.h"
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

// Values in the schedule key, or -1 when there is no key.
int ScheduleValueCount() {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return -1;
  UniqueHkey key(raw);
  DWORD values = 0;
  if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<int>(values);
}

class Installer : public ::testing::Test {
protected:
  void SetUp() override {
    if (!FileExists(setup)) {
      if (std::getenv("KORV_REQUIRE_INSTALLER")) FAIL() << "missing " << setup;
      GTEST_SKIP() << "the installer was not built (target 'installer')";
    }
    ASSERT_FALSE(SchedulerWindowExists()) << "a scheduler already runs in this prefix";
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  void TearDown() override {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  DWORD Install() const { return RunAndWait("\"" + setup + "\" /S"); }
  // _?= keeps the uninstaller in place so that its end is the end of the work.
  DWORD Uninstall() const {
    const DWORD code = RunAndWait("\"" + folder + "Uninstall.exe\" /S _?=" + folder.substr(0, folder.size() - 1));
    ::DeleteFileA((folder + "Uninstall.exe").c_str());
    ::RemoveDirectoryA(folder.c_str());
    return code;
  }
  std::string RunValue() const {
    std::string value;
    return ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, value) ? value : "(none)";
  }

  const std::string setup = BinDir() + "KorvSchd-1.0.0-setup.exe";
  const std::string folder = InstallFolder();
};
}  // namespace

TEST_F(Installer, InstallsStartsAndUninstallsCleanlyKeepingTheSchedule) {
  ASSERT_TRUE(WriteSchedule(kStateMinimised, 50000.5)) << "a schedule the capture application left";
  ASSERT_EQ(Install(), 0u);
  EXPECT_TRUE(FileExists(folder + "KorvSchd.exe"));
  if (FileExists(BinDir() + "korvctl.exe")) {
    EXPECT_TRUE(FileExists(folder + "korvctl.exe"));
  }
  EXPECT_TRUE(FileExists(folder + "Uninstall.exe"));
  ASSERT_TRUE(WaitFor(SchedulerWindowExists, 15000)) << "the installer starts the scheduler at the end";
  EXPECT_EQ(RunValue(), "\"" + folder + "KorvSchd.exe\"") << "quoted: the folder holds a blank";
  const StoredSchedule kept = ReadSchedule();
  EXPECT_EQ(kept.State.value_or(0xEE), kStateMinimised) << "an existing schedule key is left as it is";
  EXPECT_EQ(kept.StartupDate.value_or(-1.0), 50000.5);

  ASSERT_EQ(Uninstall(), 0u);
  EXPECT_TRUE(WaitFor([] { return !SchedulerWindowExists(); }, 10000)) << "the running copy was asked to end";
  EXPECT_FALSE(FileExists(folder + "KorvSchd.exe"));
  EXPECT_FALSE(FileExists(folder + "korvctl.exe"));
  EXPECT_EQ(RunValue(), "(none)");
  EXPECT_EQ(ReadSchedule().StartupDate.value_or(-1.0), 50000.5) << "the schedule belongs to the capture application";
}

// With a copy of the scheduler already running, the one the installer starts
// ends at once without writing anything (as a second copy does): what is in
// the registry afterwards is the installer's own work.
TEST_F(Installer, WritesTheRunValueAndMakesTheScheduleKeyItself) {
  UniqueHandle running{::CreateMutexA(nullptr, FALSE, "APPLICATION-KORVSCHD.EXE")};
  ASSERT_TRUE(running);
  ASSERT_EQ(ScheduleValueCount(), -1) << "no schedule key before";
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(RunValue(), "\"" + folder + "KorvSchd.exe\"") << "quoted: the folder holds a blank";
  EXPECT_EQ(ScheduleValueCount(), 0) << "the key exists, with no value yet";
  // The copy started at the end met the mutex and left.
  ::Sleep(1000);
  EXPECT_FALSE(SchedulerWindowExists());

  ASSERT_EQ(Uninstall(), 0u);
  EXPECT_EQ(RunValue(), "(none)");
  EXPECT_EQ(ScheduleValueCount(), 0);
}
