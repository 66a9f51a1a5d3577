// Functions of Windows versions after XP, looked up at run time so that the
// program still starts on XP, each with the XP behaviour as its fallback.
// Safe on any thread.
#pragma once
#include <windows.h>

// The side of the tray icon for the DPI the tray shows it at: the DPI of the
// window's monitor for a per-monitor-aware process (Windows 10 1607 on), the
// system DPI otherwise.
int TrayIconSideFor(HWND window);

// Lets a message through the filter that keeps an elevated window from
// hearing programs of a lower integrity level, such as the shell (Vista on).
void AllowMessageFromShell(HWND window, UINT message);
