#!/bin/sh
# Fails when the executable imports a DLL that Windows does not ship, or a
# function that XP lacks: XP refuses to start a program whose import table
# names one (Wine, whatever version it plays, exports them all, so the
# version matrix cannot see this). The functions listed are those newer than
# XP that the program, its runtime and the threads library may reach for; the
# program looks up the ones it uses at run time instead.
# check-imports.sh EXE [OBJDUMP]: OBJDUMP is the MinGW objdump of EXE's
# architecture (the 32-bit one by default).
exe=$1 objdump=${2:-i686-w64-mingw32-objdump}
dump=$("$objdump" -p "$exe")
dlls=$(printf '%s\n' "$dump" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no import table read from $exe"; exit 1; }
bad=0
for d in $dlls; do
  case "$d" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|msvcrt.dll|comctl32.dll|ole32.dll) echo "ok   $d" ;;
    *) echo "BAD  $d"; bad=1 ;;
  esac
done
newer_than_xp="GetTickCount64 GetSystemTimePreciseAsFileTime InterlockedCompareExchange64
InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW WakeConditionVariable
WakeAllConditionVariable InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete FlsAlloc FlsFree FlsGetValue FlsSetValue
CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW CreateSemaphoreExA CreateSemaphoreExW
GetCurrentProcessorNumber SetThreadErrorMode GetErrorMode RaiseFailFastException CancelIoEx
GetFinalPathNameByHandleA GetFinalPathNameByHandleW QueryFullProcessImageNameA QueryFullProcessImageNameW
CreateSymbolicLinkA CreateSymbolicLinkW GetLocaleInfoEx LCIDToLocaleName LocaleNameToLCID CompareStringEx
GetFileInformationByHandleEx SetFileInformationByHandle
GetDpiForWindow GetDpiForSystem GetSystemMetricsForDpi GetDpiForMonitor SetProcessDPIAware
SetProcessDpiAwareness SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext
ChangeWindowMessageFilter ChangeWindowMessageFilterEx LoadIconMetric LoadIconWithScaleDown"
functions=$(printf '%s\n' "$dump" | awk '/^\tDLL Name:/ {inside = 1; next} inside && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print $NF}')
for f in $newer_than_xp; do
  if printf '%s\n' "$functions" | grep -qx "$f"; then echo "BAD  imports $f, which XP lacks"; bad=1; fi
done
exit $bad
