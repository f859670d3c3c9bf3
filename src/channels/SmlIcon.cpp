#include "channels/SmlIcon.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "channels/ByteOrder.h"

namespace kiv {

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;
constexpr uint32_t kPlainRgb = 0;  // uncompressed rows
// A hostile directory may list thousands of entries pointing at the same bytes:
// only the best few are tried.
constexpr std::size_t kMaxTries = 8;

constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct TEntry : TIconEntry {
    std::size_t index;
};

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

std::size_t RowBytes(int32_t width, int bitCount) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32) * 4;
}

uint32_t Argb(uint32_t alpha, uint32_t red, uint32_t green, uint32_t blue) {
    return (alpha << 24) | (red << 16) | (green << 8) | blue;
}

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }

bool IsPng(std::span<const uint8_t> image) {
    return image.size() >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin());
}

std::optional<TIconImage> DecodePngEntry(std::span<const uint8_t> image, const IIconImageDecoder* decoder) {
    // Signature, then the IHDR chunk: length, "IHDR", width and height.
    if (decoder == nullptr || image.size() < 24) return std::nullopt;
    if (image[12] != 'I' || image[13] != 'H' || image[14] != 'D' || image[15] != 'R') return std::nullopt;
    const uint32_t width = ReadBigEndian32(image.data() + 16);
    const uint32_t height = ReadBigEndian32(image.data() + 20);
    if (width == 0 || height == 0 || width > kMaxIconSide || height > kMaxIconSide) return std::nullopt;
    std::optional<TIconImage> decoded = decoder->DecodePng(image);
    if (!decoded || decoded->width != static_cast<int32_t>(width) || decoded->height != static_cast<int32_t>(height) ||
        decoded->pixels.size() != std::size_t{width} * height)
        return std::nullopt;
    return decoded;
}

// Best first: nearest the default size, then the most colours, then file order.
bool Better(const TEntry& a, const TEntry& b) {
    const int da = std::abs(a.width - kDefaultIconSize) + std::abs(a.height - kDefaultIconSize);
    const int db = std::abs(b.width - kDefaultIconSize) + std::abs(b.height - kDefaultIconSize);
    if (da != db) return da < db;
    if (a.bitCount != b.bitCount) return a.bitCount > b.bitCount;
    return a.index < b.index;
}

}  // namespace

std::optional<TIconImage> DecodeIconBitmap(std::span<const uint8_t> image) {
    if (image.size() < kBitmapHeaderSize) return std::nullopt;
    const uint32_t headerSize = ReadU32(image.data());
    const int32_t width = ReadI32(image.data() + 4);
    const int32_t doubledHeight = ReadI32(image.data() + 8);  // colour rows and mask rows
    const uint16_t bitCount = ReadU16(image.data() + 14);
    const uint32_t compression = ReadU32(image.data() + 16);
    const uint32_t coloursUsed = ReadU32(image.data() + 32);
    if (headerSize < kBitmapHeaderSize || headerSize > image.size()) return std::nullopt;
    if (width < 1 || width > kMaxIconSide || doubledHeight < 2 || doubledHeight > 2 * kMaxIconSide) return std::nullopt;
    if (compression != kPlainRgb) return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return std::nullopt;
    const int32_t height = doubledHeight / 2;

    std::size_t paletteSize = 0;
    if (bitCount <= 8) {
        const uint32_t most = 1u << bitCount;
        if (coloursUsed > most) return std::nullopt;
        paletteSize = coloursUsed == 0 ? most : coloursUsed;
    }
    const std::size_t paletteAt = headerSize;
    const std::size_t colourAt = paletteAt + paletteSize * 4;
    const std::size_t colourStride = RowBytes(width, bitCount);
    const std::size_t maskAt = colourAt + colourStride * static_cast<std::size_t>(height);
    const std::size_t maskStride = RowBytes(width, 1);
    if (maskAt > image.size()) return std::nullopt;
    // Some writers leave the mask out of alpha images: the pixels are then opaque
    // or carry their own alpha.
    const bool haveMask = maskAt + maskStride * static_cast<std::size_t>(height) <= image.size();

    TIconImage icon;
    icon.width = width;
    icon.height = height;
    icon.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.data() + colourAt + colourStride * static_cast<std::size_t>(height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            if (bitCount <= 8) {
                const std::size_t bit = static_cast<std::size_t>(x) * bitCount;
                const unsigned shift = 8 - bitCount - static_cast<unsigned>(bit % 8);
                const uint32_t index = (row[bit / 8] >> shift) & ((1u << bitCount) - 1);
                if (index < paletteSize) {
                    const uint8_t* quad = image.data() + paletteAt + index * 4;
                    pixel = Argb(255, quad[2], quad[1], quad[0]);
                } else {
                    pixel = Argb(255, 0, 0, 0);
                }
            } else if (bitCount == 16) {
                const uint32_t v = ReadU16(row + x * 2);
                pixel = Argb(255, Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31));
            } else if (bitCount == 24) {
                const uint8_t* p = row + x * 3;
                pixel = Argb(255, p[2], p[1], p[0]);
            } else {
                const uint8_t* p = row + x * 4;
                pixel = Argb(p[3], p[2], p[1], p[0]);
                anyAlpha = anyAlpha || p[3] != 0;
            }
            icon.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                pixel;
        }
    }
    // The mask decides transparency unless the image has an alpha channel of its own.
    const bool alphaImage = bitCount == 32 && anyAlpha;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* mask =
            haveMask ? image.data() + maskAt + maskStride * static_cast<std::size_t>(height - 1 - y) : nullptr;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t& pixel =
                icon.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
            if (alphaImage) continue;
            const bool transparent = mask != nullptr && ((mask[x / 8] >> (7 - x % 8)) & 1) != 0;
            pixel = transparent ? 0 : (pixel | 0xFF000000u);
        }
    }
    return icon;
}

std::vector<TIconEntry> ReadIconDirectory(std::span<const uint8_t> file) {
    std::vector<TIconEntry> entries;
    if (file.size() < kDirectorySize) return entries;
    const uint16_t reserved = ReadU16(file.data());
    const uint16_t type = ReadU16(file.data() + 2);
    const uint16_t count = ReadU16(file.data() + 4);
    if (reserved != 0 || (type != 1 && type != 2)) return entries;
    for (std::size_t i = 0; i < count && kDirectorySize + (i + 1) * kEntrySize <= file.size(); ++i) {
        const uint8_t* e = file.data() + kDirectorySize + i * kEntrySize;
        entries.push_back({e[0] == 0 ? 256 : e[0], e[1] == 0 ? 256 : e[1], ReadU16(e + 6), ReadU32(e + 8), ReadU32(e + 12)});
    }
    return entries;
}

std::optional<TIconImage> LoadIconFile(std::span<const uint8_t> file, const IIconImageDecoder* pngDecoder) {
    const std::vector<TIconEntry> directory = ReadIconDirectory(file);
    // A directory that lists more entries than the bytes hold is no icon file.
    if (directory.empty() || directory.size() != ReadU16(file.data() + 4)) return std::nullopt;

    std::vector<TEntry> entries;
    for (std::size_t i = 0; i < directory.size(); ++i) {
        const TIconEntry& entry = directory[i];
        if (entry.size == 0 || uint64_t{entry.offset} + entry.size > file.size()) continue;
        entries.push_back(TEntry{entry, i});
    }
    std::sort(entries.begin(), entries.end(), Better);
    if (entries.size() > kMaxTries) entries.resize(kMaxTries);
    for (const TEntry& entry : entries) {
        const std::span<const uint8_t> image = file.subspan(entry.offset, entry.size);
        std::optional<TIconImage> icon = IsPng(image) ? DecodePngEntry(image, pngDecoder) : DecodeIconBitmap(image);
        if (icon) return icon;
    }
    return std::nullopt;
}

}  // namespace kiv
