// The load of a long life, one action at a time, on the program of a SoakRig:
// the capture application's writes (slot 1, the real change-signal lock and
// notices), popup menus opened and dismissed, sites chosen in the Webs
// submenu, the shell tray ended and started again, and peers that hold the
// write lock or die holding it. Quiet() waits until no action is in flight, so that counts
// sampled then compare steady states.
#pragma once
#include <windows.h>

#include <list>
#include <string>

#include "bench/soak/SoakRig.h"
#include "sched/ThreadSync.h"

namespace soak {

struct LoadTally {
  int Menus = 0, MenusFailed = 0;
  int DdeSites = 0, DdeSitesFailed = 0;
  int CommandLineSites = 0, CommandLineSitesFailed = 0;
  int Writes = 0, WritesFailed = 0, DueDates = 0;
  int ShellRestarts = 0, ShellRestartsFailed = 0;
  int LockHolds = 0, LockHoldsFailed = 0;
  int BrowserOutages = 0, BrowserOutagesFailed = 0;
  int AbandonedLocks = 0, AbandonedLocksFailed = 0;
};

class SoakLoad {
public:
  explicit SoakLoad(SoakRig& rig);

  void OpenAndDismissMenu();
  // Chooses the project at `index` (below 10) in the Webs submenu with the
  // keyboard and waits until the browser has the page: over DDE while the
  // stand-in serves, else on the command line of a new browser.
  void OpenSite(int index);
  // A new schedule in the future, or a date already due (the program then
  // starts the KORV98.EXE stand-in).
  void WriteSchedule(bool due);
  void StopBrowser();
  void StartBrowser();
  // The stand-in shell is ended with the program's icon and started again;
  // its start-up notice must bring the icon back.
  void ShellRestart();
  // A peer holds the write lock for a second (not waited for here).
  void StartLockHold();
  // A peer takes the write lock and is killed holding it; the next write of
  // ours must still go through.
  void PeerDiesHoldingLock();
  // Until no menu is open, no helper process runs and the program answers.
  void Quiet();

  const LoadTally& Tally() const { return tally_; }
  // Starts of the KORV98.EXE stand-in so far.
  std::size_t Launches();

private:
  HWND OpenMenu();
  bool Write(double date);

  SoakRig& rig_;
  korvtest::TrayMenu menu_;
  TDataSynchronizer peer_{"KorvamoSyncExchange", 1};
  korvtest::TempFolder output_{"soakpeer"};  // what the peers print
  std::list<korvtest::RunningProgram> holders_;
  LoadTally tally_;
  LogTail launches_;
};

}  // namespace soak
