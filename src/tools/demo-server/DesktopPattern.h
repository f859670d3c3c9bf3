#pragma once
// What the demo desktop looks like: one solid colour with a lighter
// one-pixel grid every 64 pixels (lines on x and y multiples of 64). Screen
// tests look for these exact colours, so they are constants here and in
// docs/demo-server.md.
#include <cstdint>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

// 0xRRGGBB.
inline constexpr std::uint32_t kDemoDesktopColor = 0x2E5C8A;  // "demo blue"
inline constexpr int kDemoGridSpacing = 64;

// Each channel moved a fifth of the way to white.
constexpr std::uint32_t LighterGridColor(std::uint32_t rgb) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t c = (rgb >> shift) & 0xFF;
        out |= (c + (255 - c) / 5) << shift;
    }
    return out;
}

inline constexpr std::uint32_t kDemoGridColor = LighterGridColor(kDemoDesktopColor);  // 0x577CA1

class TDesktopPattern {
public:
    explicit TDesktopPattern(std::uint32_t desktopColor = kDemoDesktopColor)
        : desktop_(desktopColor), grid_(LighterGridColor(desktopColor)) {}

    std::uint32_t desktopColor() const { return desktop_; }
    std::uint32_t gridColor() const { return grid_; }
    std::uint32_t ColorAt(int x, int y) const;

    // The pixels of the rectangle (x, y, width, height) as 32-bit B, G, R, A
    // (A = 0xFF), rows from the bottom up: the row order FreeRDP expects of
    // uncompressed surface bits.
    TBytes BottomUpTile(int x, int y, int width, int height) const;

private:
    std::uint32_t desktop_;
    std::uint32_t grid_;
};

}  // namespace kiv::demo
