// Capture-application control against the real stand-in, in-process.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/OwnInstance.h"
#include "common/ModulePath.h"
#include "sched/CaptureApp.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
bool MutexExists(const char* name) {
  UniqueHandle h{::OpenMutexA(SYNCHRONIZE, FALSE, name)};
  return static_cast<bool>(h);
}
}  // namespace

TEST(InstanceMutexName, BackslashesBecomeUnderscoresBeforeUpperCasing) {
  EXPECT_EQ(InstanceMutexName("c:\\dir\\prog.exe"), "APPLICATION-C:_DIR_PROG.EXE");
  EXPECT_EQ(InstanceMutexName("Korvamo 98"), "APPLICATION-KORVAMO 98");
  EXPECT_EQ(InstanceMutexName(""), "APPLICATION-");
  // "\xe9t\xe9.exe" is "été.exe" in Windows-1252: accented letters are upper-cased too.
  EXPECT_EQ(InstanceMutexName("\xe9t\xe9.exe"), "APPLICATION-\xc9T\xc9.EXE");
  EXPECT_EQ(OwnInstanceMutexName(), "APPLICATION-CAPTURE_APP_TESTS.EXE") << "from the executable's file name";
}

TEST(CaptureApp, TheCheckNeverMakesTheMutexThatAStartingCopyLooksFor) {
  // A capture application that finds its mutex already there takes itself
  // for a second copy and quits. While one thread checks without pause, this
  // one plays copies starting, each once the last one's mutex is gone: none
  // may find a mutex there (one that the check made).
  std::atomic<bool> stop{false};
  std::thread checker([&] {
    while (!stop) CaptureAppNotRunning();
  });
  int foundThere = 0;
  for (int i = 0; i < 1000; ++i) {
    {
      HANDLE created = ::CreateMutexA(nullptr, FALSE, "APPLICATION-KORVAMO 98");
      foundThere += ::GetLastError() == ERROR_ALREADY_EXISTS;
      UniqueHandle copy{created};
    }
    // The check may still hold the mutex of the copy that has just ended.
    ASSERT_TRUE(WaitFor([] { return !MutexExists("APPLICATION-KORVAMO 98"); }, 5000)) << i;
  }
  stop = true;
  checker.join();
  EXPECT_EQ(foundThere, 0);
}

TEST(CaptureApp, RunningWhileTheStandInHoldsItsMutex) {
  TempFolder folder("capture");
  const std::string stub = folder.CopyProgram("KORV98.EXE");
  RunningProgram app;
  ASSERT_TRUE(app.Start("\"" + stub + "\" --hold 30000", folder.Path()));
  ASSERT_TRUE(WaitFor([] { return MutexExists("APPLICATION-KORVAMO 98"); }, 5000));
  EXPECT_FALSE(CaptureAppNotRunning());
  WriteFileText(folder.Path() + "korv98.quit", "");
  EXPECT_EQ(app.WaitExit(10000), 0u);
  EXPECT_TRUE(CaptureAppNotRunning());
  EXPECT_FALSE(MutexExists("APPLICATION-KORVAMO 98"));
}

TEST(CaptureApp, PathIsBesideThisProgramWhateverTheCurrentFolder) {
  TempFolder elsewhere("cwd");
  char saved[MAX_PATH];
  ::GetCurrentDirectoryA(MAX_PATH, saved);
  ASSERT_TRUE(::SetCurrentDirectoryA(elsewhere.Path().c_str()));
  const std::string path = CaptureAppPath();
  ::SetCurrentDirectoryA(saved);
  EXPECT_EQ(path, BinDir() + "KORV98.EXE");
  EXPECT_EQ(GetOwnExePath(), BinDir() + "capture_app_tests.exe");
}

TEST(CaptureApp, LaunchFromAFolderWithBlanksReachesTheStandIn) {
  TempFolder parent("launch");
  const std::string folder = parent.Path() + "Program Files\\";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileA((BinDir() + "KORV98.EXE").c_str(), (folder + "KORV98.EXE").c_str(), FALSE));
  // A program at the shorter prefix of the path must never be the one started.
  ASSERT_TRUE(::CopyFileA((BinDir() + "KORV98.EXE").c_str(), (parent.Path() + "Program.exe").c_str(), FALSE));

  EXPECT_TRUE(LaunchProgram(folder + "KORV98.EXE", SW_SHOWMINIMIZED));
  ASSERT_TRUE(WaitFor([&] { return FileExists(folder + "korv98.log"); }, 10000));
  const std::string log = ReadFileText(folder + "korv98.log");
  EXPECT_NE(log.find("show=2 "), std::string::npos) << log;
  EXPECT_NE(log.find("cmd=\"" + folder + "KORV98.EXE\""), std::string::npos) << log;
  EXPECT_FALSE(FileExists(parent.Path() + "korv98.log"));

  EXPECT_TRUE(LaunchProgram(folder + "KORV98.EXE", SW_SHOWNORMAL));
  ASSERT_TRUE(WaitFor([&] { return ReadFileText(folder + "korv98.log").find("show=1 ") != std::string::npos; }, 10000));
  WaitFor([] { return !MutexExists("APPLICATION-KORVAMO 98"); }, 5000);
}

TEST(CaptureApp, LaunchOfAMissingProgramFails) {
  TempFolder folder("missing");
  EXPECT_FALSE(LaunchProgram(folder.Path() + "KORV98.EXE", SW_SHOWNORMAL));
}
