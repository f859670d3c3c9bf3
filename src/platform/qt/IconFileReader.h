#pragma once
// Icon files read whole by Qt's ICO reader: every image of the directory
// (bitmaps of every depth with their masks, and PNG images), in file order.
// The tray icons and the program's own icon take the image that best fits the
// place they are drawn in.
#include <QImage>

#include <cstdint>
#include <span>
#include <vector>

#include "ports/TrayIcons.h"

class QIODevice;

namespace kiv {

// Icon files describe at most 256 pixels a side; a directory may list many
// entries, but only the first few dozen are worth reading.
inline constexpr int kMaxIconFileImages = 64;
inline constexpr int kMaxIconFileSide = 256;

// The images as ARGB32; empty when the bytes are no icon file Qt can read.
std::vector<QImage> ReadIconFile(QIODevice& device);
std::vector<QImage> ReadIconFile(std::span<const uint8_t> bytes);

// The image that fills a square of `side` pixels best: the smallest one at
// least that large, else the largest. A null image when there are none.
QImage BestIconImage(const std::vector<QImage>& images, int side);

// The server's icon files for the tray icons, read by Qt.
class TQtIconFileDecoder final : public ITrayIconDecoder {
public:
    std::vector<TIconImage> DecodeIconFile(std::span<const uint8_t> bytes) const override;
};

}  // namespace kiv
