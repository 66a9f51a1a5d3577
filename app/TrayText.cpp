#include "app/TrayText.h"

std::string_view CutAtCharBoundary(std::string_view text, std::size_t maxBytes, TLeadByteTest isLeadByte) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = 0;
  while (end < maxBytes) {
    const bool pair = isLeadByte && isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size();
    const std::size_t step = pair ? 2 : 1;
    if (end + step > maxBytes) break;
    end += step;
  }
  return text.substr(0, end);
}

std::string TooltipText(bool suspended, std::string_view nextStart, TLeadByteTest isLeadByte) {
  if (suspended) return kTipSuspended;
  if (nextStart.empty()) return kTipNothingScheduled;
  constexpr std::size_t room = kTooltipChars - (sizeof kTipNextCapturePrefix - 1) - (sizeof kTipNextCaptureSuffix - 1);
  std::string text = kTipNextCapturePrefix;
  text += CutAtCharBoundary(nextStart, room, isLeadByte);
  text += kTipNextCaptureSuffix;
  return text;
}

std::string ProjectMenuText(std::size_t index, std::string_view title, TLeadByteTest isLeadByte) {
  std::string text = "&" + std::to_string(index + 1) + " ";
  if (title.size() <= kMenuTitleChars) return text.append(title);
  text += CutAtCharBoundary(title, kMenuTitleChars, isLeadByte);
  return text + "...";
}
