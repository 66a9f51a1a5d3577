// The instance mutex is never waited on or owned: its existence alone marks a
// running copy. Only AcquireOwnInstance stores the handle and only
// ReleaseOwnInstance closes it.
#include "app/OwnInstance.h"

#include <windows.h>

#include "common/ModulePath.h"
#include "common/PathText.h"
#include "common/Win32Handles.h"
#include "sched/CaptureApp.h"

namespace {
UniqueHandle g_ownInstanceMutex;
}

std::string OwnInstanceMutexName() { return InstanceMutexName(FileNameOf(GetOwnExePath())); }

bool AcquireOwnInstance() {
  g_ownInstanceMutex.Reset();
  const std::string name = OwnInstanceMutexName();
  if (HANDLE other = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str())) {
    g_ownInstanceMutex.Reset(other);
    return false;
  }
  HANDLE created = ::CreateMutexA(nullptr, FALSE, name.c_str());
  // Two copies started at the same instant may both miss the mutex above; the
  // one whose creation found it already there is the second copy.
  const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  g_ownInstanceMutex.Reset(created);
  return created != nullptr && !existed;
}

void ReleaseOwnInstance() { g_ownInstanceMutex.Reset(); }

bool RegisterAutoStart(const std::string& valueName, const std::string& data) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return false;
  UniqueHkey key(raw);
  return ::RegSetValueExA(key.Get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size()) + 1) == ERROR_SUCCESS;
}

bool UnregisterAutoStart(const std::string& valueName) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return false;
  UniqueHkey key(raw);
  return ::RegDeleteValueA(key.Get(), valueName.c_str()) == ERROR_SUCCESS;
}
