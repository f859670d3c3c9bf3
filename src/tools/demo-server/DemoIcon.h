#pragma once
// The icon of a demo application window: an icon file with one 32x32 image of
// 32 bits per pixel (alpha), drawn here: a rounded square in the
// application's colour with a small white window on it.
#include <cstdint>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

inline constexpr int kDemoIconSide = 32;

// rgb: 0xRRGGBB. The whole file: directory, one entry, bitmap header, the
// colour rows bottom-up, the transparency mask (1 = transparent).
TBytes MakeDemoIcon(std::uint32_t rgb);

}  // namespace kiv::demo
