#pragma once
// The region part of a window update: a 32-byte header (header size, type, the
// rectangle count at offset 8, buffer size, bounding rectangle) and that many
// rectangles of four signed 32-bit values, relative to the window's top-left
// corner. A window record keeps the block moved to screen coordinates.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "channels/SmlRegion.h"

namespace kiv {

inline constexpr std::size_t kSmlRegionHeaderSize = 32;
inline constexpr std::size_t kSmlRegionCountOffset = 8;
inline constexpr std::size_t kSmlRegionRectSize = 16;

// A copy of the part with every rectangle moved by (left, top); the bounding
// rectangle stays as sent. A count the part cannot hold is cut to the
// rectangles that are there (and the copy's count says so); a part too short
// for its header gives no block at all, and the window is a plain rectangle.
std::optional<std::vector<uint8_t>> MakeScreenRegionBlock(std::span<const uint8_t> part, int16_t left, int16_t top);

// The rectangles of a block; never reads past it, whatever its count says.
std::vector<TSmlRect> RegionBlockRects(std::span<const uint8_t> block);

}  // namespace kiv
