// Which list lines may name a project file, judged by the form of the name
// alone, before any call reaches the file system: a device or a pipe opened
// like a file can block its reader for ever, so such names are never opened.
#pragma once
#include <string_view>

// False for the empty name, for names in the device namespaces (\\.\, \\?\,
// \??\), for pipes and mail slots of any machine (\\host\pipe\...), and for
// names whose last part is a reserved device name (CON, PRN, AUX, NUL,
// COM0-9, LPT0-9, CONIN$, CONOUT$), whatever follows it after a dot, colon
// or blanks, as Windows reads "C:\Sites\com1.kvp" or "nul:".
bool MayNameProjectFile(std::string_view path);
