#include "sched/ScheduleRegistry.h"

#include <windows.h>

#include <cstring>

#include "common/Win32Handles.h"

namespace {
// Bytes delivered, or nothing when the value is missing, longer than the
// buffer (the query then fails with ERROR_MORE_DATA) or text: a "1" written
// as a string would otherwise read as the byte 0x31.
std::optional<DWORD> QueryBytes(HKEY key, const char* name, void* buffer, DWORD size) {
  std::memset(buffer, 0, size);
  DWORD got = size, type = REG_NONE;
  if (::RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(buffer), &got) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_DWORD && type != REG_BINARY && type != REG_QWORD) return std::nullopt;
  return got;
}
}  // namespace

StoredSchedule ReadSchedule() {
  StoredSchedule stored;
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return stored;
  UniqueHkey key(raw);
  stored.KeyFound = true;

  unsigned char state[4];
  if (auto got = QueryBytes(key.Get(), kStateValue, state, sizeof state); got && *got >= 1) stored.State = state[0];

  // A shorter value would leave bytes of the double unset: not taken.
  unsigned char date[8];
  if (auto got = QueryBytes(key.Get(), kStartupDateValue, date, sizeof date); got && *got == sizeof date) {
    double value;
    std::memcpy(&value, date, sizeof value);
    stored.StartupDate = value;
  }
  return stored;
}

bool WriteSchedule(std::uint8_t state, double startupDate) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, KEY_WRITE, &raw) != ERROR_SUCCESS &&
      ::RegCreateKeyExA(HKEY_CLASSES_ROOT, kScheduleKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &raw, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueHkey key(raw);
  const DWORD widened = state;
  unsigned char date[8];
  std::memcpy(date, &startupDate, sizeof date);
  const bool stateWritten = ::RegSetValueExA(key.Get(), kStateValue, 0, REG_DWORD,
                                             reinterpret_cast<const BYTE*>(&widened), sizeof widened) == ERROR_SUCCESS;
  const bool dateWritten =
      ::RegSetValueExA(key.Get(), kStartupDateValue, 0, REG_BINARY, date, sizeof date) == ERROR_SUCCESS;
  return stateWritten && dateWritten;
}
