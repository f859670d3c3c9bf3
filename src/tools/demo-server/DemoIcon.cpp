#include "tools/demo-server/DemoIcon.h"

#include <functional>
#include <optional>
#include <span>

#include "channels/ByteOrder.h"

namespace kiv::demo {

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr int kCornerRadius = 6;

// The colour (0xRRGGBB) of a pixel of an image of that side; nullopt: transparent.
using TPixel = std::function<std::optional<std::uint32_t>(int side, int x, int y)>;

std::size_t MaskStride(int side) { return ((static_cast<std::size_t>(side) + 31) / 32) * 4; }

std::size_t ImageBytes(int side) {
    const auto s = static_cast<std::size_t>(side);
    return kBitmapHeaderSize + s * s * 4 + MaskStride(side) * s;
}

TBytes IconFile(std::span<const int> sides, const TPixel& pixel) {
    std::size_t total = kDirectorySize + kEntrySize * sides.size();
    for (int side : sides) total += ImageBytes(side);
    TBytes file(total, 0);
    std::uint8_t* p = file.data();
    WriteU16(p + 2, 1);  // an icon file
    WriteU16(p + 4, static_cast<std::uint16_t>(sides.size()));
    std::size_t offset = kDirectorySize + kEntrySize * sides.size();
    for (std::size_t i = 0; i < sides.size(); ++i) {
        const int side = sides[i];
        const auto s = static_cast<std::size_t>(side);
        std::uint8_t* entry = p + kDirectorySize + kEntrySize * i;
        entry[0] = static_cast<std::uint8_t>(side);
        entry[1] = static_cast<std::uint8_t>(side);
        WriteU16(entry + 4, 1);   // planes
        WriteU16(entry + 6, 32);  // bits per pixel
        WriteU32(entry + 8, static_cast<std::uint32_t>(ImageBytes(side)));
        WriteU32(entry + 12, static_cast<std::uint32_t>(offset));
        std::uint8_t* header = p + offset;
        WriteU32(header, kBitmapHeaderSize);
        WriteI32(header + 4, side);
        WriteI32(header + 8, 2 * side);  // colour rows and mask rows
        WriteU16(header + 12, 1);
        WriteU16(header + 14, 32);
        WriteU32(header + 20, static_cast<std::uint32_t>(ImageBytes(side) - kBitmapHeaderSize));
        std::uint8_t* colour = header + kBitmapHeaderSize;
        std::uint8_t* mask = colour + s * s * 4;
        for (int y = 0; y < side; ++y) {
            const auto row = static_cast<std::size_t>(side - 1 - y);  // bottom-up
            for (int x = 0; x < side; ++x) {
                const std::optional<std::uint32_t> c = pixel(side, x, y);
                if (!c) {
                    mask[row * MaskStride(side) + static_cast<std::size_t>(x) / 8] |=
                        static_cast<std::uint8_t>(0x80 >> (x % 8));
                    continue;
                }
                std::uint8_t* px = colour + (row * s + static_cast<std::size_t>(x)) * 4;
                px[0] = static_cast<std::uint8_t>(*c);
                px[1] = static_cast<std::uint8_t>(*c >> 8);
                px[2] = static_cast<std::uint8_t>(*c >> 16);
                px[3] = 0xFF;
            }
        }
        offset += ImageBytes(side);
    }
    return file;
}

// Inside the rounded square that fills the window icon.
bool InsideBadge(int x, int y) {
    const int last = kDemoIconSide - 1;
    const int cx = x < kCornerRadius ? kCornerRadius : (x > last - kCornerRadius ? last - kCornerRadius : x);
    const int cy = y < kCornerRadius ? kCornerRadius : (y > last - kCornerRadius ? last - kCornerRadius : y);
    const int dx = x - cx;
    const int dy = y - cy;
    return dx * dx + dy * dy <= kCornerRadius * kCornerRadius;
}

// The little window: a white frame with a solid title bar.
bool OnWindowGlyph(int x, int y) {
    if (x < 7 || x > 24 || y < 8 || y > 23) return false;
    return y <= 11 || x == 7 || x == 24 || y == 23;
}

}  // namespace

TBytes MakeDemoIcon(std::uint32_t rgb) {
    const int sides[] = {kDemoIconSide};
    return IconFile(sides, [rgb](int, int x, int y) -> std::optional<std::uint32_t> {
        if (!InsideBadge(x, y)) return std::nullopt;
        return OnWindowGlyph(x, y) ? 0xFFFFFF : rgb;
    });
}

TBytes MakeDemoTrayIcon(std::uint32_t rgb) {
    return IconFile(kDemoTraySides, [rgb](int side, int x, int y) -> std::optional<std::uint32_t> {
        // Distances in quarter pixels from the centre, so every size is round.
        const int dx = 4 * x + 2 - 2 * side, dy = 4 * y + 2 - 2 * side;
        const int d2 = dx * dx + dy * dy, r = 2 * side - 2;
        if (d2 > r * r) return std::nullopt;
        const int ring = r * 55 / 100, width = side >= 32 ? 8 : 5;
        return (d2 <= ring * ring && d2 >= (ring - width) * (ring - width)) ? 0xFFFFFF : rgb;
    });
}

}  // namespace kiv::demo
