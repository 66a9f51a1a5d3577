// What the soak bench sets up around the real program: the program folder
// (KorvSchd.exe beside the KORV98.EXE stand-in), a work folder with webs.dat
// and 200 project files, a stand-in browser named in Korvamo.ini that is
// started and stopped as a DDE server, a stand-in shell tray, and the running
// program with its icon.
// Uses the real work-folder entry (restored), schedule key and Run value.
#pragma once
#include <windows.h>

#include <map>
#include <string>

#include "tests/support/TestSupport.h"
#include "tests/win/TrayTestSupport.h"

namespace soak {

inline constexpr int kProjects = 200;

// A growing log file read from where the last look ended; its lines are
// counted by their first word (up to a blank or '=').
class LogTail {
public:
  explicit LogTail(std::string path) : path_(std::move(path)) {}
  // Reads what was added; returns false when nothing was.
  bool Update();
  std::size_t Count(const std::string& word) const;
  // The latest line with that first word; empty when none.
  std::string Last(const std::string& word) const;
  std::size_t Lines() const { return lines_; }

private:
  std::string path_;
  std::size_t read_ = 0, lines_ = 0;
  std::map<std::string, std::size_t> counts_;
  std::map<std::string, std::string> last_;
};

// The stand-in shell tray (soak_shell.exe), a process that is ended as a
// crashed shell is, and started again.
class SoakShell {
public:
  SoakShell() : log_(folder_.Path() + "shell.log") {}
  ~SoakShell() { End(); }
  SoakShell(const SoakShell&) = delete;
  SoakShell& operator=(const SoakShell&) = delete;

  // Starts it and waits until its tray is the one programs find.
  bool Start();
  void End() { process_.Kill(); }
  std::size_t Adds();
  // The identifier of the latest icon added, when `window` added it; 0 else.
  UINT LatestIconOf(HWND window);

private:
  korvtest::TempFolder folder_{"soakshell"};
  korvtest::RunningProgram process_;
  LogTail log_;
};

class SoakBrowser {
public:
  SoakBrowser();
  ~SoakBrowser();
  SoakBrowser(const SoakBrowser&) = delete;
  SoakBrowser& operator=(const SoakBrowser&) = delete;

  const std::string& Exe() const { return exe_; }
  // Its DDE service name: its file name, upper-cased already.
  const std::string& Service() const { return base_; }
  // Started as a DDE server, it answers WWW_OpenURL until stopped; started
  // by the program with a page, it records the page and ends.
  bool StartServing();
  bool StopServing();
  bool Serving() const { return serving_; }
  DWORD ServerId() const { return server_.ProcessId(); }
  std::size_t Requests();
  std::size_t Pages();

private:
  korvtest::TempFolder folder_{"soaknav"};
  std::string base_, exe_;
  korvtest::RunningProgram server_;
  bool serving_ = false;
  LogTail log_;
};

class SoakRig {
public:
  SoakRig();
  ~SoakRig();
  SoakRig(const SoakRig&) = delete;
  SoakRig& operator=(const SoakRig&) = delete;

  // Starts the program and waits for its icon; false on failure.
  bool Start();
  // WM_CLOSE; the exit code.
  DWORD Close();
  const std::string& ProgramFolder() const { return program_.Path(); }
  HWND Window() const { return scheduler_.window; }
  UINT IconId() const { return iconId_; }
  const korvtest::RunningProgram& Program() const { return scheduler_.program; }
  const korvtest::SchedulerUnderTest& Scheduler() const { return scheduler_; }
  SoakBrowser& Browser() { return browser_; }
  SoakShell& Shell() { return shell_; }

private:
  void WriteWorkFolder();

  korvtest::TempFolder program_{"soakpgm"}, work_{"soakwork"};
  korvtest::ScopedWorkPath workPath_;
  SoakBrowser browser_;
  SoakShell shell_;
  korvtest::SchedulerUnderTest scheduler_;
  UINT iconId_ = 0;
};

}  // namespace soak
