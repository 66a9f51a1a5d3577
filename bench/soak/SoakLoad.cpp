#include "bench/soak/SoakLoad.h"

#include <tlhelp32.h>

#include "app/KorvSchdMain.h"
#include "common/PathText.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"
#include "tests/win/SchedFixture.h"

using namespace korvtest;

namespace soak {
namespace {
constexpr DWORD kActionWait = 15000;

// Processes of this prefix with the given file name, other than `except`.
int RunningCopies(const std::string& exeName, DWORD except) {
  UniqueHandle snapshot{::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
  if (!snapshot || snapshot.Get() == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int n = 0;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more; more = ::Process32Next(snapshot.Get(), &entry)) {
    n += entry.th32ProcessID != except && lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0;
  }
  return n;
}
}  // namespace

SoakLoad::SoakLoad(SoakRig& rig)
    : rig_(rig), menu_(rig.Scheduler(), rig.IconId()), launches_(rig.ProgramFolder() + "korv98.log") {}

std::size_t SoakLoad::Launches() {
  launches_.Update();
  return launches_.Lines();
}

HWND SoakLoad::OpenMenu() {
  // A click that comes while the program still ends the last page's DDE
  // conversation is dropped, as the menu does not open inside that loop:
  // the user clicks again.
  for (DWORD waited = 0; waited < kActionWait; waited += 1000) {
    if (HWND menu = menu_.Open(1000, 5)) return menu;
  }
  return nullptr;
}

void SoakLoad::OpenAndDismissMenu() {
  HWND menu = OpenMenu();
  if (menu) menu_.Press(menu, VK_ESCAPE);
  if (menu && menu_.Gone(kActionWait)) {
    ++tally_.Menus;
  } else {
    ++tally_.MenusFailed;
    menu_.End(kActionWait);
  }
}

void SoakLoad::OpenSite(int index) {
  SoakBrowser& browser = rig_.Browser();
  const bool dde = browser.Serving();
  const std::size_t before = dde ? browser.Requests() : browser.Pages();
  bool opened = false;
  if (HWND menu = OpenMenu()) {
    // The Webs entry, then down the submenu from its first project.
    menu_.Type(menu, "w");
    for (int i = 0; i < index; ++i) menu_.Press(menu, VK_DOWN);
    menu_.Press(menu, VK_RETURN);
    opened = WaitFor([&] { return (dde ? browser.Requests() : browser.Pages()) > before; }, kActionWait);
  }
  menu_.End(kActionWait);
  int& done = dde ? tally_.DdeSites : tally_.CommandLineSites;
  int& failed = dde ? tally_.DdeSitesFailed : tally_.CommandLineSitesFailed;
  ++(opened ? done : failed);
}

bool SoakLoad::Write(double date) {
  const TSyncLock write = peer_.Write(5000);
  return write && ::WriteSchedule(0, date);
}

void SoakLoad::WriteSchedule(bool due) {
  // A day ahead plus the write's own count, so that every write changes it.
  const double date = due ? LocalNow() : LocalNow() + 1.0 + tally_.Writes / 86400.0;
  if (!Write(date)) {
    ++tally_.WritesFailed;
    return;
  }
  ++tally_.Writes;
  if (!due) return;
  ++tally_.DueDates;
  // The next write would take the date back before the program saw it due.
  const std::size_t before = Launches();
  WaitFor([&] { return Launches() > before; }, 5000);
}

void SoakLoad::StopBrowser() { ++(rig_.Browser().StopServing() ? tally_.BrowserOutages : tally_.BrowserOutagesFailed); }

void SoakLoad::StartBrowser() {
  if (!rig_.Browser().StartServing()) ++tally_.BrowserOutagesFailed;
}

void SoakLoad::ShellRestart() {
  SoakShell& shell = rig_.Shell();
  const std::size_t adds = shell.Adds();
  // Ended as a crash ends it: the program's icon goes with it.
  shell.End();
  const bool restarted = shell.Start();
  const bool back =
      restarted &&
      WaitFor([&] { return shell.Adds() > adds && shell.LatestIconOf(rig_.Window()) == rig_.IconId(); }, kActionWait);
  ++(back ? tally_.ShellRestarts : tally_.ShellRestartsFailed);
}

void SoakLoad::StartLockHold() {
  holders_.emplace_back();
  const std::string output =
      output_.Path() + "hold" + std::to_string(tally_.LockHolds + tally_.LockHoldsFailed) + ".txt";
  ++(schedtest::StartKorvctl(holders_.back(), "--slot 2 hold-lock 1", output) ? tally_.LockHolds
                                                                              : tally_.LockHoldsFailed);
}

void SoakLoad::PeerDiesHoldingLock() {
  const std::string log = output_.Path() + "died" + std::to_string(tally_.AbandonedLocks) + ".txt";
  RunningProgram peer;
  bool held = schedtest::StartKorvctl(peer, "--slot 2 hold-lock 600", log) &&
              WaitFor([&] { return ReadFileText(log).find("write lock held") != std::string::npos; }, kActionWait);
  peer.Kill();
  // The mutex is abandoned now: the next writer takes it and carries on.
  held = held && Write(LocalNow() + 2.0);
  ++(held ? tally_.AbandonedLocks : tally_.AbandonedLocksFailed);
}

void SoakLoad::Quiet() {
  menu_.End(kActionWait);
  for (auto& holder : holders_) {
    if (holder.WaitExit(10000) == STILL_ACTIVE) holder.Kill();
  }
  holders_.clear();
  const std::string browserName = FileNameOf(rig_.Browser().Exe());
  const DWORD server = rig_.Browser().Serving() ? rig_.Browser().ServerId() : 0;
  WaitFor(
      [&] {
        return RunningCopies("KORV98.EXE", 0) == 0 && RunningCopies("korvctl.exe", 0) == 0 &&
               RunningCopies(browserName, server) == 0;
      },
      kActionWait);
  // The program answers: it is not inside a long call. What the load
  // posted is handled within the second that follows.
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(rig_.Window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
  schedtest::Idle(1000);
}

}  // namespace soak
