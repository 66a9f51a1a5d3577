// Texts of the DDE layer that need no Windows: the program's own service name,
// the choice and formatting of the DDE error messages, and the "LinkInfo"
// entries that carry a client conversation's link in its stored form.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// File-name part of a program path, cut before its first '.', letter case kept:
// "C:\dir\KorvSchd.exe" gives "KorvSchd", "a.b.exe" gives "a".
std::string OwnServiceNameOf(std::string_view programPath);

// String-table id of the message for a DDEML error code.
int DdeErrorMessageId(unsigned code);
// The message with every "%x" replaced by the code in upper-case hexadecimal,
// without leading zeros. No other directive is interpreted, so a message text
// can never read arguments that are not there.
std::string FormatDdeErrorText(std::string_view format, unsigned code);

// Length of the text in DDE data of the given size: up to its first zero
// byte, never past the data's end.
std::size_t DdeTextLength(const char* data, std::size_t size);

// The two stored entries: "Service <service>", "Topic <topic>".
std::vector<std::string> LinkInfoEntries(std::string_view service, std::string_view topic);
// Applies stored entries in turn: the value is the text after the first blank
// (the whole entry when it has none); an entry beginning with 'S' sets the
// service, one beginning with 'T' the topic; any other entry is ignored.
void ApplyLinkInfo(const std::vector<std::string>& entries, std::string& service, std::string& topic);
