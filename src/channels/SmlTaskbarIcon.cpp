#include "channels/SmlTaskbarIcon.h"

#include <cstddef>
#include <cstdlib>

#include "channels/SmlIcon.h"

namespace kiv {

namespace {

// The pixel of a picture stretched to the default size (nearest neighbour).
uint32_t Scaled(const TIconImage& image, int32_t x, int32_t y) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return 0;
    const int32_t sx = x * image.width / kDefaultIconSize;
    const int32_t sy = y * image.height / kDefaultIconSize;
    return image.pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(image.width) +
                        static_cast<std::size_t>(sx)];
}

// Source over destination, both with straight alpha.
uint32_t Over(uint32_t source, uint32_t destination) {
    const uint32_t sa = source >> 24;
    if (sa == 255) return source;
    if (sa == 0) return destination;
    const uint32_t da = destination >> 24;
    const uint32_t outA = sa + da * (255 - sa) / 255;
    if (outA == 0) return 0;
    uint32_t out = outA << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t sc = (source >> shift) & 0xFF;
        const uint32_t dc = (destination >> shift) & 0xFF;
        const uint32_t c = (sc * sa + dc * da * (255 - sa) / 255) / outA;
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

}  // namespace

TIconImage ComposeTaskbarIcon(const TIconImage& serverIcon, const TIconImage& overlay) {
    TIconImage result;
    result.width = serverIcon.width > 0 ? serverIcon.width : 0;
    result.height = serverIcon.height > 0 ? serverIcon.height : 0;
    result.pixels.assign(static_cast<std::size_t>(result.width) * static_cast<std::size_t>(result.height), 0);
    for (int32_t y = 0; y < result.height && y < kDefaultIconSize; ++y) {
        for (int32_t x = 0; x < result.width && x < kDefaultIconSize; ++x) {
            const uint32_t below = Scaled(serverIcon, x, y);
            result.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width) +
                          static_cast<std::size_t>(x)] = Over(Scaled(overlay, x, y), below);
        }
    }
    return result;
}

TIconImage MakeOverlayBadge() {
    constexpr int32_t kTile = 14;  // the tile's side, at the lower-left corner
    constexpr uint32_t kBlue = 0xFF1F6FD8;
    constexpr uint32_t kWhite = 0xFFFFFFFF;
    TIconImage badge;
    badge.width = kDefaultIconSize;
    badge.height = kDefaultIconSize;
    badge.pixels.assign(static_cast<std::size_t>(kDefaultIconSize) * kDefaultIconSize, 0);
    const auto put = [&badge](int32_t x, int32_t y, uint32_t colour) {
        badge.pixels[static_cast<std::size_t>(y) * kDefaultIconSize + static_cast<std::size_t>(x)] = colour;
    };
    const int32_t top = kDefaultIconSize - kTile;
    for (int32_t y = top; y < kDefaultIconSize; ++y)
        for (int32_t x = 0; x < kTile; ++x) {
            const bool corner = (x == 0 || x == kTile - 1) && (y == top || y == kDefaultIconSize - 1);
            if (corner) continue;  // rounded off
            const bool edge = x == 0 || x == kTile - 1 || y == top || y == kDefaultIconSize - 1;
            put(x, y, edge ? kWhite : kBlue);
        }
    // The arrow: a diagonal from the lower left to the upper right, and its head.
    for (int32_t i = 0; i < 8; ++i) {
        put(3 + i, kDefaultIconSize - 4 - i, kWhite);
        put(4 + i, kDefaultIconSize - 4 - i, kWhite);
    }
    for (int32_t i = 0; i < 5; ++i) {
        put(6 + i, top + 3, kWhite);         // the head's top edge
        put(10, top + 3 + i, kWhite);        // and its right edge
    }
    return badge;
}

}  // namespace kiv
