#include "channels/SmlRegionBlock.h"

#include <algorithm>

#include "channels/ByteOrder.h"

namespace kiv {

namespace {

// How many rectangles the block really holds.
uint32_t UsableCount(std::span<const uint8_t> block) {
    const uint32_t count = ReadU32(block.data() + kSmlRegionCountOffset);
    const std::size_t room = (block.size() - kSmlRegionHeaderSize) / kSmlRegionRectSize;
    return static_cast<uint32_t>(std::min<std::size_t>(count, room));
}

// Moving wraps around like the 32-bit arithmetic of the server's side; a
// rectangle pushed out of range is cut by the window's rectangle later.
void Move(uint8_t* p, int32_t by) { WriteU32(p, ReadU32(p) + static_cast<uint32_t>(by)); }

}  // namespace

std::optional<std::vector<uint8_t>> MakeScreenRegionBlock(std::span<const uint8_t> part, int16_t left, int16_t top) {
    if (part.size() < kSmlRegionHeaderSize) return std::nullopt;
    const uint32_t count = UsableCount(part);
    std::vector<uint8_t> block(part.begin(), part.begin() + static_cast<std::ptrdiff_t>(kSmlRegionHeaderSize +
                                                                                       count * kSmlRegionRectSize));
    WriteU32(block.data() + kSmlRegionCountOffset, count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* rect = block.data() + kSmlRegionHeaderSize + i * kSmlRegionRectSize;
        Move(rect, left);
        Move(rect + 4, top);
        Move(rect + 8, left);
        Move(rect + 12, top);
    }
    return block;
}

std::vector<TSmlRect> RegionBlockRects(std::span<const uint8_t> block) {
    std::vector<TSmlRect> rects;
    if (block.size() < kSmlRegionHeaderSize) return rects;
    const uint32_t count = UsableCount(block);
    rects.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = block.data() + kSmlRegionHeaderSize + std::size_t{i} * kSmlRegionRectSize;
        rects.push_back({ReadI32(p), ReadI32(p + 4), ReadI32(p + 8), ReadI32(p + 12)});
    }
    return rects;
}

}  // namespace kiv
