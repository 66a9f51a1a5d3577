// What the scheduler tests and the scheduler benchmark share: the real
// schedule key (raw writes, clean-up), korvctl runs, the KORV98.EXE
// stand-in's launch log, and probes of the change signal's real objects.
// They use the real names: test programs that include this run SERIAL.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Win32Handles.h"
#include "sched/CaptureApp.h"
#include "tests/support/TestSupport.h"

namespace schedtest {

// Deletes the schedule key and the program's Run value (wineboot would start
// whatever the Run key names).
void CleanRegistry();
bool ScheduleKeyExists();
// A value of any type and bytes, for sizes the scheduler must not take.
void WriteRawValue(const char* name, DWORD type, const void* bytes, DWORD size);
void WriteStateAndDate(DWORD state, double date);
struct RawValue {
  bool Found = false;
  DWORD Type = 0;
  std::vector<unsigned char> Bytes;
};
RawValue ReadRawValue(const char* name);
// The "Startup date" as stored, or -12345 when absent or not 8 bytes.
double StoredDate();
// The "State" as stored, or 0xDEAD when absent or not 4 bytes.
DWORD StoredState();

// korvctl from the build folder: exit code, or STILL_ACTIVE after 15 s.
DWORD RunKorvctl(const std::string& arguments);
bool StartKorvctl(korvtest::RunningProgram& program, const std::string& arguments);
// The same with standard output and error going to a file.
bool StartKorvctl(korvtest::RunningProgram& program, const std::string& arguments, const std::string& outputPath);

// A date-time `seconds` from now in korvctl's "YYYY-MM-DD HH:MM:SS" form,
// rounded up to a whole second, with its value.
std::string LocalDateText(double seconds, double* value = nullptr);

// The stand-in's launch log in a folder: one entry per start.
struct Launch {
  double When = 0;
  int Show = -1;
};
std::vector<Launch> Launches(const std::string& folder);

// Another party holds "KorvamoSyncExchange_MutexNoWriter" / has a reader inside.
bool WriteLockHeldElsewhere();
bool ReaderInside();

// The scheduler and the stand-in in a fresh folder, so launches land there.
struct SchedulerFolder {
  korvtest::TempFolder folder{"sched"};
  std::string exe = folder.CopyProgram("KorvSchd.exe");
  std::string stub = folder.CopyProgram("KORV98.EXE");
  std::vector<Launch> Log() const { return Launches(folder.Path()); }
};

// The test process plays the running capture application: it holds the
// application's instance mutex.
class CaptureAppRunning {
public:
  CaptureAppRunning() : mutex_(::CreateMutexA(nullptr, FALSE, InstanceMutexName(kCaptureAppName).c_str())) {}

private:
  UniqueHandle mutex_;
};

// Pumps messages for a while: for "nothing happens" checks, which can only
// pass wrongly, never fail by luck.
void Idle(DWORD ms);

}  // namespace schedtest
