#pragma once
// Icon files read whole by Qt's ICO reader: every image of the directory
// (bitmaps of every depth with their masks, and PNG images), in file order.
// The tray icons and the program's own icon take the image that best fits the
// place they are drawn in.
#include <QByteArray>
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

// The format of a picture file as Qt's readers name it ("png", "bmp", "jpeg",
// "gif", "ico"), told by its first bytes; empty when they are none of these.
// Read with its format, Qt loads only the reader it needs instead of every
// image plug-in to ask each whether it knows the file.
QByteArray PictureFormat(QIODevice& device);

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
