#pragma once
// The icon part of a window update is a whole icon file image: a directory of
// entries, each pointing at one image (a device-independent bitmap with its
// transparency mask, or a PNG). The entry nearest the desktop's default icon
// size is read; nothing outside the given bytes is ever touched.
#include <cstdint>
#include <optional>
#include <span>

#include "platform/TaskbarWindows.h"

namespace kiv {

inline constexpr int32_t kDefaultIconSize = 32;  // the size taskbar icons are drawn at
inline constexpr int32_t kMaxIconSide = 256;     // the largest an icon file can describe

// nullopt when the bytes hold no image this client can read. PNG images need
// the decoder; without one they are skipped.
std::optional<TIconImage> LoadIconFile(std::span<const uint8_t> file, const IIconImageDecoder* pngDecoder);

// One bitmap image of an icon file: the header, the palette, the colour rows
// bottom-up, then the mask rows (1 = transparent).
std::optional<TIconImage> DecodeIconBitmap(std::span<const uint8_t> image);

}  // namespace kiv
