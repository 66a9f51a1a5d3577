// The system's ANSI code page, as the text functions of the tray need it.
#pragma once
#include <windows.h>

// Whether a byte opens a two-byte character in the ANSI code page.
inline bool IsAnsiLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }
