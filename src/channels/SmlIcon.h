#pragma once
// The icon part of a window update is a whole icon file image: a directory of
// entries, each pointing at one image (a device-independent bitmap with its
// transparency mask, or a PNG). The entry nearest the desktop's default icon
// size is read; nothing outside the given bytes is ever touched.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ports/TaskbarWindows.h"

namespace kiv {

inline constexpr int32_t kDefaultIconSize = 32;  // the size taskbar icons are drawn at
inline constexpr int32_t kMaxIconSide = 256;     // the largest an icon file can describe

// One entry of an icon file's directory (a side of 0 in the file stands for 256).
struct TIconEntry {
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint32_t size;
    uint32_t offset;
};

// The directory's entries as far as the bytes hold them; empty when the header
// is not an icon file's.
std::vector<TIconEntry> ReadIconDirectory(std::span<const uint8_t> file);

// nullopt when the bytes hold no image this client can read. PNG images need
// the decoder; without one they are skipped.
std::optional<TIconImage> LoadIconFile(std::span<const uint8_t> file, const IIconImageDecoder* pngDecoder);

// One bitmap image of an icon file: the header, the palette, the colour rows
// bottom-up, then the mask rows (1 = transparent).
std::optional<TIconImage> DecodeIconBitmap(std::span<const uint8_t> image);

}  // namespace kiv
