#include "tools/demo-server/DesktopPattern.h"

namespace kiv::demo {

std::uint32_t TDesktopPattern::ColorAt(int x, int y) const {
    return (x % kDemoGridSpacing == 0 || y % kDemoGridSpacing == 0) ? grid_ : desktop_;
}

TBytes TDesktopPattern::BottomUpTile(int x, int y, int width, int height) const {
    if (width <= 0 || height <= 0) return {};
    TBytes pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    std::size_t at = 0;
    for (int row = height - 1; row >= 0; --row) {
        for (int column = 0; column < width; ++column) {
            const std::uint32_t rgb = ColorAt(x + column, y + row);
            pixels[at++] = static_cast<std::uint8_t>(rgb & 0xFF);
            pixels[at++] = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
            pixels[at++] = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
            pixels[at++] = 0xFF;
        }
    }
    return pixels;
}

}  // namespace kiv::demo
