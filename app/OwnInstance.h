// The program's own identity: its single-instance mutex and its entry in the
// machine's Run key.
#pragma once
#include <string>

// Name of this program's instance mutex: the executable's file name, upper-cased.
std::string OwnInstanceMutexName();
// True when no other copy runs and this copy now marks itself as running.
bool AcquireOwnInstance();
void ReleaseOwnInstance();

// True when the Run key's value was written, or removed.
bool RegisterAutoStart(const std::string& valueName, const std::string& data);
bool UnregisterAutoStart(const std::string& valueName);

inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "WebSched";
