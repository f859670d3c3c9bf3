// The tray icons' Qt side that needs no tray: icon files read whole by Qt's
// ICO reader and the image picked for a tray's slot, and the fallback icon
// that turns each activation into a down and an up of its button.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCursor>
#include <QImage>
#include <QImageReader>

#include <cstring>

#include "platform/qt/FallbackTrayIcon.h"
#include "platform/qt/IconFileReader.h"

namespace kiv {
namespace {

void Append16(QByteArray& b, uint16_t v) { b.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8)); }
void Append32(QByteArray& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 32-bit bitmap entry of one colour (0xAARRGGBB) with an all-opaque mask.
QByteArray BitmapEntry(int side, uint32_t argb) {
    QByteArray b;
    for (uint32_t v : {40u, static_cast<uint32_t>(side), static_cast<uint32_t>(2 * side)}) Append32(b, v);
    Append16(b, 1);
    Append16(b, 32);
    for (int i = 0; i < 6; ++i) Append32(b, 0);
    for (int i = 0; i < side * side; ++i) Append32(b, argb);
    b.append(QByteArray(((side + 31) / 32) * 4 * side, '\0'));
    return b;
}

QByteArray PngEntry(int side, QColor colour) {
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray IconFile(const std::vector<std::pair<int, QByteArray>>& entries) {
    QByteArray file;
    Append16(file, 0);
    Append16(file, 1);
    Append16(file, static_cast<uint16_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (const auto& [side, bytes] : entries) {
        file.append(static_cast<char>(side % 256)).append(static_cast<char>(side % 256)).append(2, '\0');
        Append16(file, 1);
        Append16(file, 32);
        Append32(file, static_cast<uint32_t>(bytes.size()));
        Append32(file, offset);
        offset += static_cast<uint32_t>(bytes.size());
    }
    for (const auto& entry : entries) file.append(entry.second);
    return file;
}

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

TEST(IconFileReader, ReadsEveryEntryBitmapOrPngAndPicksTheBestForTheSlot) {
    const QByteArray file =
        IconFile({{16, BitmapEntry(16, 0xFFFF0000)}, {48, PngEntry(48, Qt::green)}, {24, BitmapEntry(24, 0xFF0000FF)}});
    const std::vector<TIconImage> images = TQtIconFileDecoder().DecodeIconFile(Bytes(file));
    ASSERT_EQ(images.size(), 3u);
    const std::pair<int, uint32_t> expected[] = {{16, 0xFFFF0000}, {48, 0xFF00FF00}, {24, 0xFF0000FF}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(images[i].width, expected[i].first);
        EXPECT_EQ(images[i].pixels.size(), static_cast<std::size_t>(expected[i].first * expected[i].first));
        EXPECT_EQ(images[i].pixels.at(0), expected[i].second) << i;
    }

    QBuffer device;
    device.setData(file);
    device.open(QIODevice::ReadOnly);
    const std::vector<QImage> read = ReadIconFile(device);
    const struct {
        int slot, side;
    } fits[] = {{16, 16}, {22, 24}, {24, 24}, {40, 48}, {64, 48}};
    for (const auto& s : fits) EXPECT_EQ(BestIconImage(read, s.slot).width(), s.side) << "slot " << s.slot;
    EXPECT_TRUE(BestIconImage({}, 16).isNull());

    // Nothing, no icon file, a directory cut short.
    for (const QByteArray& bad : {QByteArray(), QByteArray("not an icon file"), file.left(40)})
        EXPECT_TRUE(TQtIconFileDecoder().DecodeIconFile(Bytes(bad)).empty()) << bad.size() << " bytes";
}

// A picture read with the format its first bytes tell: that reader alone reads it.
TEST(IconFileReader, PictureFormatComesFromTheFirstBytes) {
    QImage square(8, 8, QImage::Format_RGB32);
    square.fill(Qt::red);
    const QByteArray icon = IconFile({{16, BitmapEntry(16, 0xFFFF0000)}});
    for (const char* format : {"png", "bmp", "jpeg", "gif", "ico"}) {
        QBuffer device;
        device.open(QIODevice::ReadWrite);
        if (std::strcmp(format, "gif") == 0) device.write("GIF89a\x08\0\x08\0");  // Qt writes none
        else if (std::strcmp(format, "ico") == 0) device.write(icon);
        else ASSERT_TRUE(square.save(&device, format)) << format;
        device.seek(0);
        EXPECT_EQ(PictureFormat(device), QByteArray(format));
        EXPECT_EQ(device.pos(), 0) << "the bytes are peeked, not taken";
        if (std::strcmp(format, "gif") == 0) continue;
        QImageReader reader(&device, PictureFormat(device));
        reader.setAutoDetectImageFormat(false);
        EXPECT_FALSE(reader.read().isNull()) << format;
    }
    for (const QByteArray& other : {QByteArray(), QByteArray("B"), QByteArray("<svg/>"), QByteArray("\0\0\2\0", 4)}) {
        QBuffer device;
        device.setData(other);
        device.open(QIODevice::ReadOnly);
        EXPECT_TRUE(PictureFormat(device).isEmpty()) << other.toHex().constData();
    }
}

TEST(FallbackTrayIcon, EachActivationIsADownAndAnUpOfItsButtonAtThePointer) {
    struct TReport {
        TTrayButton button;
        bool down;
        QPoint at;
    };
    std::vector<TReport> reports;
    TFallbackTrayIcon icon([&](TTrayButton button, bool down, QPoint at) { reports.push_back({button, down, at}); });
    const struct {
        QSystemTrayIcon::ActivationReason reason;
        TTrayButton button;
    } cases[] = {{QSystemTrayIcon::Trigger, TTrayButton::Left},
                 {QSystemTrayIcon::DoubleClick, TTrayButton::Left},
                 {QSystemTrayIcon::Context, TTrayButton::Right},
                 {QSystemTrayIcon::MiddleClick, TTrayButton::Middle}};
    for (const auto& c : cases) {
        reports.clear();
        emit icon.Icon()->activated(c.reason);
        ASSERT_EQ(reports.size(), 2u) << c.reason;
        EXPECT_TRUE(reports[0].down);
        EXPECT_FALSE(reports[1].down);
        for (const TReport& r : reports) {
            EXPECT_EQ(r.button, c.button) << c.reason;
            EXPECT_EQ(r.at, QCursor::pos());
        }
    }
    reports.clear();
    emit icon.Icon()->activated(QSystemTrayIcon::Unknown);
    EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace kiv
