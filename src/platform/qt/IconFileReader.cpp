#include "platform/qt/IconFileReader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <algorithm>
#include <climits>

namespace kiv {

namespace {

int Side(const QImage& image) { return std::min(image.width(), image.height()); }

}  // namespace

QByteArray PictureFormat(QIODevice& device) {
    const QByteArray head = device.peek(4);
    if (head.startsWith("\x89PNG")) return "png";
    if (head.startsWith("BM")) return "bmp";
    if (head.startsWith("\xff\xd8\xff")) return "jpeg";
    if (head.startsWith("GIF8")) return "gif";
    if (head == QByteArray("\0\0\1\0", 4)) return "ico";
    return {};
}

std::vector<QImage> ReadIconFile(QIODevice& device) {
    std::vector<QImage> images;
    QImageReader reader(&device, "ico");
    const int count = std::min(reader.imageCount(), kMaxIconFileImages);
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) break;
        const QImage image = reader.read();
        if (image.isNull() || image.width() > kMaxIconFileSide || image.height() > kMaxIconFileSide) continue;
        images.push_back(image.convertToFormat(QImage::Format_ARGB32));
    }
    return images;
}

std::vector<QImage> ReadIconFile(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const QByteArray data =
        QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    return ReadIconFile(buffer);
}

QImage BestIconImage(const std::vector<QImage>& images, int side) {
    const QImage* best = nullptr;
    for (const QImage& image : images) {
        if (best == nullptr) {
            best = &image;
            continue;
        }
        const bool fits = Side(image) >= side, bestFits = Side(*best) >= side;
        if (fits != bestFits ? fits : (fits ? Side(image) < Side(*best) : Side(image) > Side(*best))) best = &image;
    }
    return best ? *best : QImage();
}

std::vector<TIconImage> TQtIconFileDecoder::DecodeIconFile(std::span<const uint8_t> bytes) const {
    std::vector<TIconImage> images;
    for (const QImage& image : ReadIconFile(bytes)) {
        TIconImage icon;
        icon.width = image.width();
        icon.height = image.height();
        icon.pixels.resize(static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height));
        for (int y = 0; y < icon.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
            std::copy(row, row + icon.width, icon.pixels.begin() + static_cast<std::ptrdiff_t>(y) * icon.width);
        }
        images.push_back(std::move(icon));
    }
    return images;
}

}  // namespace kiv
