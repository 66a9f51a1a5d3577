// The setup program, installed and uninstalled silently, as a user would. It
// runs elevated on Windows, so it writes what a standard user's copy of the
// program cannot: the Run value and the schedule key; the program it starts
// at its end gets the user's rights, not the installer's. Whatever fails,
// the tear-down ends the scheduler and uninstalls, so that the tests after
// this one meet a clean prefix.
#include <windows.h>
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

#include "app/OwnInstance.h"
#include "sched/ScheduleRegistry.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KorvSchd";

std::string ProgramFilesOfView(REGSAM view) {
  std::string folder;
  return ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", folder, view) ? folder : "";
}

// Where the installer belongs: the Program Files of its own kind, which is
// the test program's kind (the 64-bit build's tests run the 64-bit installer).
// Its registry values go to the same view, read here without a view flag.
std::string InstallFolder() { return ProgramFilesOfView(0) + "\\Korvamo\\"; }

DWORD SchedulerProcessId() {
  DWORD id = 0;
  if (HWND window = ::FindWindowA("TWebSched", nullptr)) ::GetWindowThreadProcessId(window, &id);
  return id;
}

bool SchedulerWindowExists() { return SchedulerProcessId() != 0; }

DWORD ParentOf(DWORD processId) {
  UniqueHandle snapshot{::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == processId) return entry.th32ParentProcessID;
  }
  return 0;
}

// The process of the desktop's shell: the one that owns the taskbar.
DWORD ShellProcessId() {
  DWORD id = 0;
  if (HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr)) ::GetWindowThreadProcessId(taskbar, &id);
  return id;
}

// Whether a process's token is elevated; false where the system knows no
// elevation (XP refuses the question).
bool Elevated(HANDLE process) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return false;
  UniqueHandle token{raw};
  DWORD elevated = 0, size = 0;
  return ::GetTokenInformation(token.Get(), TokenElevation, &elevated, sizeof elevated, &size) && elevated != 0;
}

// Ends every running scheduler: asked to close first, as the uninstaller
// does, then ended by force.
void EndRunningSchedulers() {
  for (int left = 8; left > 0; --left) {
    HWND window = ::FindWindowA("TWebSched", nullptr);
    if (!window) return;
    DWORD id = 0;
    ::GetWindowThreadProcessId(window, &id);
    UniqueHandle process{::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id)};
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    if (process && ::WaitForSingleObject(process.Get(), 10000) == WAIT_TIMEOUT) {
      ::TerminateProcess(process.Get(), 99);
      ::WaitForSingleObject(process.Get(), 5000);
    }
  }
}

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

// What a 64-bit Windows has and a prefix without 32-bit Wine lacks: the
// 32-bit programs' folder, in the 32-bit registry view. A 64-bit installer
// that read that view would install there. Put in place for the test when
// missing, and taken away again.
class OtherProgramFiles {
public:
  OtherProgramFiles() {
#ifdef _WIN64
    if (!ProgramFilesOfView(KEY_WOW64_32KEY).empty()) return;
    added_ = WriteRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", kFolder, KEY_WOW64_32KEY);
    ::CreateDirectoryA(kFolder, nullptr);
#endif
  }
  ~OtherProgramFiles() {
    if (!added_) return;
    DeleteRegValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", KEY_WOW64_32KEY);
    ::RemoveDirectoryA(kFolder);
  }
  OtherProgramFiles(const OtherProgramFiles&) = delete;
  OtherProgramFiles& operator=(const OtherProgramFiles&) = delete;

private:
  static constexpr char kFolder[] = "C:\\Program Files (x86)";
  bool added_ = false;
};

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
    EndRunningSchedulers();
    Uninstall();
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
    DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
  }
  // Runs the setup program; notes its process and whether it ran elevated.
  DWORD Install() {
    RunningProgram p;
    if (!p.Start("\"" + setup + "\" /S")) return 0xFFFFFFFF;
    installerId = p.ProcessId();
    installerElevated = Elevated(p.Process());
    return p.WaitExit(60000);
  }
  // By the uninstall command that the installer recorded, wherever it
  // installed; 0xFFFFFFFF when there is none. _?= keeps the uninstaller in
  // place so that its end is the end of the work.
  DWORD Uninstall() const {
    const std::string command = UninstallCommand();
    const size_t end = command.find_last_of('\\');
    if (command.size() < 2 || command.front() != '"' || end == std::string::npos) return 0xFFFFFFFF;
    const std::string installed = command.substr(1, end - 1);
    RunningProgram p;
    if (!p.Start(command + " /S _?=" + installed)) return 0xFFFFFFFF;
    const DWORD code = p.WaitExit(60000);
    ::DeleteFileA((installed + "\\Uninstall.exe").c_str());
    ::RemoveDirectoryA(installed.c_str());
    return code;
  }
  static std::string UninstallCommand() {
    std::string command;
    return ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString", command) ? command : "(none)";
  }
  static std::string RunValue() {
    std::string value;
    return ReadRegString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, value) ? value : "(none)";
  }

  OtherProgramFiles otherProgramFiles;
  const std::string setup = BinDir() + "KorvSchd-1.0.0-setup.exe";
  const std::string folder = InstallFolder();
  DWORD installerId = 0;
  bool installerElevated = false;
};
}  // namespace

TEST_F(Installer, InstallsStartsAndUninstallsCleanlyKeepingTheSchedule) {
  ASSERT_TRUE(WriteSchedule(kStateMinimised, 50000.5)) << "a schedule the capture application left";
  ASSERT_EQ(Install(), 0u);
  EXPECT_TRUE(FileExists(folder + "KorvSchd.exe")) << "into " << folder;
  if (FileExists(BinDir() + "korvctl.exe")) {
    EXPECT_TRUE(FileExists(folder + "korvctl.exe"));
  }
  EXPECT_TRUE(FileExists(folder + "Uninstall.exe"));
  EXPECT_EQ(UninstallCommand(), "\"" + folder + "Uninstall.exe\"");
  EXPECT_EQ(RunValue(), "\"" + folder + "KorvSchd.exe\"") << "quoted: the folder holds a blank";
  const StoredSchedule kept = ReadSchedule();
  EXPECT_EQ(kept.State.value_or(0xEE), kStateMinimised) << "an existing schedule key is left as it is";
  EXPECT_EQ(kept.StartupDate.value_or(-1.0), 50000.5);

  ASSERT_TRUE(WaitFor(SchedulerWindowExists, 15000)) << "the installer starts the scheduler at the end";
  const DWORD scheduler = SchedulerProcessId();
  UniqueHandle schedulerProcess{::OpenProcess(SYNCHRONIZE, FALSE, scheduler)};
  const DWORD startedBy = ParentOf(scheduler);
  // An elevated installer has the desktop's shell start the program, with
  // the user's rights; one that is not elevated starts it itself.
  const char* starter = startedBy == ShellProcessId() ? "the desktop's shell" : "another process";
  if (startedBy == installerId) starter = "the installer";
  std::printf("installer %s; the scheduler was started by %s\n", installerElevated ? "elevated" : "not elevated",
              starter);
  EXPECT_EQ(startedBy, installerElevated ? ShellProcessId() : installerId);

  ASSERT_EQ(Uninstall(), 0u);
  ASSERT_TRUE(schedulerProcess);
  EXPECT_EQ(::WaitForSingleObject(schedulerProcess.Get(), 10000), WAIT_OBJECT_0) << "the running copy was asked to end";
  EXPECT_FALSE(SchedulerWindowExists());
  EXPECT_FALSE(FileExists(folder + "KorvSchd.exe"));
  EXPECT_FALSE(FileExists(folder + "korvctl.exe"));
  EXPECT_EQ(UninstallCommand(), "(none)");
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
