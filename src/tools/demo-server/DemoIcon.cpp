#include "tools/demo-server/DemoIcon.h"


#include "channels/ByteOrder.h"

namespace kiv::demo {

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr std::size_t kColourBytes = kDemoIconSide * kDemoIconSide * 4;
constexpr std::size_t kMaskStride = 4;  // 32 bits, already a multiple of four bytes
constexpr std::size_t kMaskBytes = kMaskStride * kDemoIconSide;
constexpr int kCornerRadius = 6;

// Inside the rounded square that fills the icon.
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
    TBytes file(kDirectorySize + kEntrySize + kBitmapHeaderSize + kColourBytes + kMaskBytes, 0);
    std::uint8_t* p = file.data();
    WriteU16(p + 2, 1);  // an icon file
    WriteU16(p + 4, 1);  // one image
    std::uint8_t* entry = p + kDirectorySize;
    entry[0] = kDemoIconSide;
    entry[1] = kDemoIconSide;
    WriteU16(entry + 4, 1);   // planes
    WriteU16(entry + 6, 32);  // bits per pixel
    WriteU32(entry + 8, static_cast<std::uint32_t>(kBitmapHeaderSize + kColourBytes + kMaskBytes));
    WriteU32(entry + 12, static_cast<std::uint32_t>(kDirectorySize + kEntrySize));
    std::uint8_t* header = entry + kEntrySize;
    WriteU32(header, kBitmapHeaderSize);
    WriteI32(header + 4, kDemoIconSide);
    WriteI32(header + 8, 2 * kDemoIconSide);  // colour rows and mask rows
    WriteU16(header + 12, 1);
    WriteU16(header + 14, 32);
    WriteU32(header + 20, static_cast<std::uint32_t>(kColourBytes + kMaskBytes));
    std::uint8_t* colour = header + kBitmapHeaderSize;
    std::uint8_t* mask = colour + kColourBytes;
    for (int y = 0; y < kDemoIconSide; ++y) {
        const int row = kDemoIconSide - 1 - y;  // bottom-up
        for (int x = 0; x < kDemoIconSide; ++x) {
            std::uint8_t* px = colour + (static_cast<std::size_t>(row) * kDemoIconSide + x) * 4;
            if (!InsideBadge(x, y)) {
                mask[static_cast<std::size_t>(row) * kMaskStride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                continue;
            }
            const std::uint32_t c = OnWindowGlyph(x, y) ? 0xFFFFFF : rgb;
            px[0] = static_cast<std::uint8_t>(c);
            px[1] = static_cast<std::uint8_t>(c >> 8);
            px[2] = static_cast<std::uint8_t>(c >> 16);
            px[3] = 0xFF;
        }
    }
    return file;
}

}  // namespace kiv::demo
