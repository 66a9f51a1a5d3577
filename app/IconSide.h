// The side, in pixels, of the tray icon to load. Pure: the Win32 layer
// (app/LaterWindows) gathers the metrics.
#pragma once

// The largest image an icon resource holds.
inline constexpr int kLargestIconSide = 256;
// The small-icon side at 96 DPI, when the system names none.
inline constexpr int kDefaultSmallIconSide = 16;

// The small-icon side at the DPI of the icon's monitor when the system gives
// it (0 when it cannot), else the system-wide small-icon side, else 16; never
// above the largest icon image.
int TrayIconSide(int monitorSmallIconSide, int systemSmallIconSide);
