#include "tests/win/SchedFixture.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "app/OwnInstance.h"
#include "sched/DateTime.h"
#include "sched/LocalClock.h"
#include "sched/ScheduleRegistry.h"

namespace schedtest {

void CleanRegistry() {
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kScheduleKey);
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, "Korvamo");
  korvtest::DeleteRegValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
}

bool ScheduleKeyExists() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void WriteRawValue(const char* name, DWORD type, const void* bytes, DWORD size) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(bytes), size);
  ::RegCloseKey(key);
}

void WriteStateAndDate(DWORD state, double date) {
  WriteRawValue(kStateValue, REG_DWORD, &state, sizeof state);
  WriteRawValue(kStartupDateValue, REG_BINARY, &date, sizeof date);
}

RawValue ReadRawValue(const char* name) {
  RawValue value;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return value;
  unsigned char bytes[64];
  DWORD size = sizeof bytes;
  if (::RegQueryValueExA(key, name, nullptr, &value.Type, bytes, &size) == ERROR_SUCCESS) {
    value.Found = true;
    value.Bytes.assign(bytes, bytes + size);
  }
  ::RegCloseKey(key);
  return value;
}

double StoredDate() {
  const RawValue raw = ReadRawValue(kStartupDateValue);
  if (!raw.Found || raw.Bytes.size() != 8) return -12345;
  double date;
  std::memcpy(&date, raw.Bytes.data(), sizeof date);
  return date;
}

DWORD StoredState() {
  const RawValue raw = ReadRawValue(kStateValue);
  if (!raw.Found || raw.Bytes.size() != 4) return 0xDEAD;
  DWORD state;
  std::memcpy(&state, raw.Bytes.data(), sizeof state);
  return state;
}

bool StartKorvctl(korvtest::RunningProgram& program, const std::string& arguments) {
  return program.Start("\"" + korvtest::BinDir() + "korvctl.exe\" " + arguments);
}

bool StartKorvctl(korvtest::RunningProgram& program, const std::string& arguments, const std::string& outputPath) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueFile output{::CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!output) return false;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = output.Get();
  si.hStdError = output.Get();
  return program.Start("\"" + korvtest::BinDir() + "korvctl.exe\" " + arguments, "", &si);
}

DWORD RunKorvctl(const std::string& arguments) {
  korvtest::RunningProgram program;
  if (!StartKorvctl(program, arguments)) return 0xFFFFFFFF;
  return program.WaitExit(15000);
}

std::string LocalDateText(double seconds, double* value) {
  const double when = std::ceil((LocalNow() + seconds / 86400.0) * 86400.0) / 86400.0;
  const auto parts = DecodeDateTime(when);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts->Year, parts->Month, parts->Day, parts->Hour,
                parts->Minute, parts->Second);
  if (value) {
    CalendarDateTime whole = *parts;
    whole.Millisecond = 0;
    *value = *EncodeDateTime(whole);
  }
  return text;
}

std::vector<Launch> Launches(const std::string& folder) {
  std::vector<Launch> launches;
  std::istringstream lines(korvtest::ReadFileText(folder + "korv98.log"));
  std::string line;
  while (std::getline(lines, line)) {
    CalendarDateTime at;
    unsigned show = 0;
    if (std::sscanf(line.c_str(), "%d-%d-%d %d:%d:%d.%d show=%u", &at.Year, &at.Month, &at.Day, &at.Hour, &at.Minute,
                    &at.Second, &at.Millisecond, &show) != 8) {
      continue;
    }
    launches.push_back({EncodeDateTime(at).value_or(0), static_cast<int>(show)});
  }
  return launches;
}

bool WriteLockHeldElsewhere() {
  UniqueHandle mutex{::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "KorvamoSyncExchange_MutexNoWriter")};
  if (!mutex) return false;
  if (::WaitForSingleObject(mutex.Get(), 0) == WAIT_TIMEOUT) return true;
  ::ReleaseMutex(mutex.Get());
  return false;
}

bool ReaderInside() {
  UniqueHandle event{::OpenEventA(SYNCHRONIZE, FALSE, "KorvamoSyncExchange_EventNoReader")};
  return event && ::WaitForSingleObject(event.Get(), 0) == WAIT_TIMEOUT;
}

void Idle(DWORD ms) {
  korvtest::WaitFor([] { return false; }, ms);
}

}  // namespace schedtest
