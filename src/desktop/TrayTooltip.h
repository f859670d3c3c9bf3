#pragma once
// What a local tray icon shows as its tooltip: its hint up to the first "|"
// (the part after it was meant for a longer description), cut to the 63
// characters a tray tooltip holds.
#include <cstddef>
#include <string>
#include <string_view>

namespace kiv {

inline constexpr std::size_t kTrayTooltipChars = 63;

// The hint and the answer are UTF-8; the cut never splits a character.
std::string TrayTooltip(std::string_view hint);

}  // namespace kiv
