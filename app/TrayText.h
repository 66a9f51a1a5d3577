// Texts the tray shows: the icon's tooltip and the entries of the Webs
// submenu. French texts are Windows-1252 bytes. Pure functions, safe on the
// scheduler thread as on the main thread.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Characters of the tooltip field, its terminating NUL not counted.
inline constexpr std::size_t kTooltipChars = 63;
// Longest project title shown whole in the menu.
inline constexpr std::size_t kMenuTitleChars = 30;

inline constexpr char kTipSuspended[] = "<Gestionnaire suspendu>";
// clang-format off
inline constexpr char kTipNothingScheduled[] = "<Aucune t\xE2" "che en attente d'\xE9" "xecution>";
// clang-format on
inline constexpr char kTipNextCapturePrefix[] = "<Prochaine capture le ";
inline constexpr char kTipNextCaptureSuffix[] = ">";

// Tells whether a byte opens a two-byte character in the ANSI code page.
using TLeadByteTest = bool (*)(unsigned char);

// The longest start of text that holds at most maxBytes bytes and does not
// split a two-byte character.
std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes, TLeadByteTest isLeadByte);

// The tooltip for a state; never longer than kTooltipChars. A next-start text
// too long for the field is shortened and the closing ">" kept.
std::string TooltipText(bool suspended, std::string_view nextStart, TLeadByteTest isLeadByte = nullptr);

// "&" + (index + 1) + " " + title, a title over 30 characters cut to 30 + "...".
std::string ProjectMenuText(std::size_t index, std::string_view title, TLeadByteTest isLeadByte = nullptr);
