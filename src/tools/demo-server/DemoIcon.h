#pragma once
// The icons of the demo applications, as icon files of 32 bits per pixel
// (alpha) drawn here. A window's icon: one 32x32 image, a rounded square in
// the application's colour with a small white window on it. A tray icon:
// images of 16, 24, 32 and 48 pixels, a disc in the colour with a white ring,
// so a tray draws the one that fits its slot.
#include <cstdint>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

inline constexpr int kDemoIconSide = 32;
inline constexpr int kDemoTraySides[] = {16, 24, 32, 48};

// rgb: 0xRRGGBB. The whole file: directory, entries, and per image the bitmap
// header, the colour rows bottom-up, the transparency mask (1 = transparent).
TBytes MakeDemoIcon(std::uint32_t rgb);
TBytes MakeDemoTrayIcon(std::uint32_t rgb);

}  // namespace kiv::demo
