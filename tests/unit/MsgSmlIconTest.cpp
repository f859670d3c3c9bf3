// The icon part of a window update: reading icon files of every bitmap depth,
// choosing the entry, handing PNG images to the decoder, and the taskbar icon
// with the client's badge over it.
#include <gtest/gtest.h>

#include "channels/SmlIcon.h"
#include "channels/SmlTaskbarIcon.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

// One bitmap image: header, palette, colour rows (given top-down, stored
// bottom-up) and mask rows (given top-down, 1 = transparent).
struct Dib {
    int32_t width = 2;
    int32_t height = 2;
    uint16_t bits = 24;
    std::vector<uint32_t> palette;            // 0x00RRGGBB
    std::vector<TBytes> rows;                 // colour rows, unpadded, top first
    std::vector<std::vector<int>> maskRows;   // per pixel 0/1, top first; empty: no mask
    uint32_t compression = 0;
    std::optional<uint32_t> coloursUsed;

    TBytes Bytes() const {
        TBytes b(40, 0);
        WriteU32(&b[0], 40);
        WriteI32(&b[4], width);
        WriteI32(&b[8], height * 2);
        WriteU16(&b[12], 1);
        WriteU16(&b[14], bits);
        WriteU32(&b[16], compression);
        WriteU32(&b[32], coloursUsed.value_or(static_cast<uint32_t>(palette.size())));
        for (uint32_t c : palette) {
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
            b.push_back(static_cast<uint8_t>(c >> 16));
            b.push_back(0);
        }
        const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            TBytes padded = *row;
            padded.resize(stride, 0);
            b.insert(b.end(), padded.begin(), padded.end());
        }
        const std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
        for (auto row = maskRows.rbegin(); row != maskRows.rend(); ++row) {
            TBytes packed(maskStride, 0);
            for (std::size_t x = 0; x < row->size(); ++x)
                if ((*row)[x]) packed[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            b.insert(b.end(), packed.begin(), packed.end());
        }
        return b;
    }
};

struct Entry {
    int side;
    uint16_t bits;
    TBytes image;
};

TBytes IconFile(const std::vector<Entry>& entries) {
    TBytes f(6, 0);
    WriteU16(&f[2], 1);
    WriteU16(&f[4], static_cast<uint16_t>(entries.size()));
    std::size_t offset = 6 + 16 * entries.size();
    for (const Entry& e : entries) {
        TBytes d(16, 0);
        d[0] = d[1] = static_cast<uint8_t>(e.side == 256 ? 0 : e.side);
        WriteU16(&d[4], 1);
        WriteU16(&d[6], e.bits);
        WriteU32(&d[8], static_cast<uint32_t>(e.image.size()));
        WriteU32(&d[12], static_cast<uint32_t>(offset));
        offset += e.image.size();
        f.insert(f.end(), d.begin(), d.end());
    }
    for (const Entry& e : entries) f.insert(f.end(), e.image.begin(), e.image.end());
    return f;
}

TBytes Bgr(std::initializer_list<uint32_t> colours) {
    TBytes row;
    for (uint32_t c : colours) {
        row.push_back(static_cast<uint8_t>(c));
        row.push_back(static_cast<uint8_t>(c >> 8));
        row.push_back(static_cast<uint8_t>(c >> 16));
    }
    return row;
}

TBytes Square(int side, uint32_t rgb) {
    Dib d;
    d.width = d.height = side;
    for (int y = 0; y < side; ++y) {
        TBytes row;
        for (int x = 0; x < side; ++x) {
            const TBytes px = Bgr({rgb});
            row.insert(row.end(), px.begin(), px.end());
        }
        d.rows.push_back(row);
    }
    d.maskRows.assign(static_cast<std::size_t>(side), std::vector<int>(static_cast<std::size_t>(side), 0));
    return d.Bytes();
}

// A PNG as far as the directory and the IHDR go; the decoder stands for the rest.
TBytes PngStub(uint32_t w, uint32_t h) {
    TBytes p{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<uint8_t>(v >> shift));
    p.resize(40, 0);
    return p;
}

struct FakePngDecoder : IIconImageDecoder {
    std::optional<TIconImage> DecodePng(std::span<const uint8_t> bytes) const override {
        ++calls;
        lastSize = bytes.size();
        if (!answer) return std::nullopt;
        return answer;
    }
    std::optional<TIconImage> answer;
    mutable int calls = 0;
    mutable std::size_t lastSize = 0;
};

TEST(SmlIconFile, BitmapsOfEveryDepthAreRead) {
    // 24 bits: rows bottom-up on the wire, top-down in the picture; the mask cuts.
    Dib rgb;
    rgb.rows = {Bgr({0xFF0000, 0x00FF00}), Bgr({0x0000FF, 0x123456})};
    rgb.maskRows = {{0, 1}, {0, 0}};
    auto icon = DecodeIconBitmap(rgb.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0xFFFF0000, 0x00000000, 0xFF0000FF, 0xFF123456}));

    // 1, 4 and 8 bits through the palette; an index past the palette is black.
    Dib mono;
    mono.bits = 1;
    mono.palette = {0x000000, 0xFFFFFF};
    mono.rows = {{0x80}, {0x40}};
    mono.maskRows = {{0, 0}, {0, 0}};
    icon = DecodeIconBitmap(mono.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF}));

    Dib sixteen;
    sixteen.bits = 4;
    sixteen.palette = {0x000000, 0x800000, 0x008000};
    sixteen.rows = {{0x12}, {0x2F}};
    sixteen.maskRows = {{0, 0}, {0, 0}};
    icon = DecodeIconBitmap(sixteen.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0xFF800000, 0xFF008000, 0xFF008000, 0xFF000000}));

    Dib indexed;
    indexed.bits = 8;
    indexed.palette = {0x102030, 0x405060};
    indexed.rows = {{1, 0}, {0, 1}};
    indexed.maskRows = {{1, 0}, {0, 0}};
    icon = DecodeIconBitmap(indexed.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0x00000000, 0xFF102030, 0xFF102030, 0xFF405060}));

    // 16 bits, 5-5-5.
    Dib high;
    high.bits = 16;
    high.rows = {{0x00, 0x7C, 0x1F, 0x00}, {0xE0, 0x03, 0xFF, 0x7F}};
    high.maskRows = {{0, 0}, {0, 0}};
    icon = DecodeIconBitmap(high.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF, 0xFF00FF00, 0xFFFFFFFF}));
}

TEST(SmlIconFile, ThirtyTwoBitsCarryTheirAlphaUnlessItIsAllZero) {
    Dib alpha;
    alpha.bits = 32;
    alpha.rows = {{0x10, 0x20, 0x30, 0x80, 0, 0, 0, 0}, {1, 2, 3, 0xFF, 4, 5, 6, 0xFF}};
    alpha.maskRows = {{1, 1}, {1, 1}};  // ignored: the image has alpha of its own
    auto icon = DecodeIconBitmap(alpha.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0x80302010, 0x00000000, 0xFF030201, 0xFF060504}));

    Dib plain = alpha;
    plain.rows = {{0x10, 0x20, 0x30, 0, 1, 1, 1, 0}, {1, 2, 3, 0, 4, 5, 6, 0}};
    plain.maskRows = {{0, 1}, {0, 0}};
    icon = DecodeIconBitmap(plain.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels, (std::vector<uint32_t>{0xFF302010, 0x00000000, 0xFF030201, 0xFF060504}));

    plain.maskRows.clear();  // written without a mask: opaque
    icon = DecodeIconBitmap(plain.Bytes());
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixels[1], 0xFF010101u);
}

TEST(SmlIconFile, TheEntryNearestTheTaskbarSizeIsTaken) {
    const TBytes file = IconFile({{16, 24, Square(16, 0x111111)}, {48, 24, Square(48, 0x333333)},
                                  {32, 24, Square(32, 0x222222)}});
    auto icon = LoadIconFile(file, nullptr);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->pixels[0], 0xFF222222u);

    // An entry that cannot be read gives way to the next best one.
    TBytes broken = Square(32, 0x222222);
    WriteU32(&broken[16], 1);  // compressed rows
    icon = LoadIconFile(IconFile({{32, 24, broken}, {16, 24, Square(16, 0x111111)}}), nullptr);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 16);
}

TEST(SmlIconFile, PngImagesGoToTheDecoder) {
    FakePngDecoder decoder;
    const TBytes file = IconFile({{32, 32, PngStub(32, 32)}, {16, 24, Square(16, 0x111111)}});
    // No decoder, or one that fails: the bitmap entry is used.
    EXPECT_EQ(LoadIconFile(file, nullptr)->width, 16);
    EXPECT_EQ(LoadIconFile(file, &decoder)->width, 16);
    EXPECT_EQ(decoder.calls, 1);
    EXPECT_EQ(decoder.lastSize, 40u);  // exactly the entry's bytes

    decoder.answer = TIconImage{32, 32, std::vector<uint32_t>(32 * 32, 0xFF00FF00)};
    auto icon = LoadIconFile(file, &decoder);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->pixels[0], 0xFF00FF00u);

    // The decoder's picture must be the one the header announced.
    decoder.answer = TIconImage{16, 16, std::vector<uint32_t>(16 * 16, 0)};
    EXPECT_EQ(LoadIconFile(file, &decoder)->pixels[0], 0xFF111111u);
    const int before = decoder.calls;
    EXPECT_FALSE(LoadIconFile(IconFile({{32, 32, PngStub(4096, 32)}}), &decoder));
    EXPECT_EQ(decoder.calls, before);  // too big to be asked about
}

TEST(SmlIconFile, HostileFilesAreRefusedWithoutReadingPastThem) {
    const TBytes good = IconFile({{32, 24, Square(32, 0x222222)}});
    ASSERT_TRUE(LoadIconFile(good, nullptr));
    // Every cut of a good file: read or refused, never more than the bytes given.
    for (std::size_t n = 0; n < good.size(); ++n) {
        const TBytes cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(LoadIconFile(cut, nullptr)) << n;  // the mask is cut first: no room for the rows
    }
    TBytes wrongType = good;
    WriteU16(&wrongType[2], 7);
    EXPECT_FALSE(LoadIconFile(wrongType, nullptr));
    TBytes manyEntries = good;
    WriteU16(&manyEntries[4], 0xFFFF);
    EXPECT_FALSE(LoadIconFile(manyEntries, nullptr));
    TBytes farOffset = good;
    WriteU32(&farOffset[6 + 12], 0xFFFFFFF0u);
    EXPECT_FALSE(LoadIconFile(farOffset, nullptr));

    Dib d;
    d.rows = {Bgr({1, 2}), Bgr({3, 4})};
    d.maskRows = {{0, 0}, {0, 0}};
    TBytes bad = d.Bytes();
    WriteI32(&bad[4], 0);
    EXPECT_FALSE(DecodeIconBitmap(bad));
    bad = d.Bytes();
    WriteI32(&bad[4], 257);
    EXPECT_FALSE(DecodeIconBitmap(bad));
    bad = d.Bytes();
    WriteI32(&bad[8], -4);  // top-down is no icon layout
    EXPECT_FALSE(DecodeIconBitmap(bad));
    bad = d.Bytes();
    WriteU32(&bad[0], 0xFFFFFFFFu);  // header bigger than the image
    EXPECT_FALSE(DecodeIconBitmap(bad));
    bad = d.Bytes();
    WriteU16(&bad[14], 3);
    EXPECT_FALSE(DecodeIconBitmap(bad));
    Dib palette;
    palette.bits = 1;
    palette.palette = {0, 0xFFFFFF};
    palette.coloursUsed = 3;  // more colours than one bit can index
    palette.rows = {{0}, {0}};
    EXPECT_FALSE(DecodeIconBitmap(palette.Bytes()));
}

TEST(SmlTaskbarIcons, TheBadgeIsDrawnOverTheServerIcon) {
    const TIconImage badge = MakeOverlayBadge();
    ASSERT_EQ(badge.width, 32);
    ASSERT_EQ(badge.pixels.size(), 32u * 32u);
    EXPECT_EQ(badge.pixels[0] >> 24, 0u);                  // top-left: clear
    EXPECT_EQ(badge.pixels[31 * 32 + 31] >> 24, 0u);       // bottom-right: clear
    EXPECT_EQ(badge.pixels[25 * 32 + 1], 0xFF1F6FD8u);      // the tile, bottom-left

    const TIconImage server{32, 32, std::vector<uint32_t>(32 * 32, 0xFF00AA00)};
    const TIconImage composed = ComposeTaskbarIcon(server, badge);
    EXPECT_EQ(composed.pixels[0], 0xFF00AA00u);
    EXPECT_EQ(composed.pixels[25 * 32 + 1], 0xFF1F6FD8u);

    // Half-transparent red over opaque blue.
    const TIconImage half = ComposeTaskbarIcon(TIconImage{1, 1, {0xFF0000FF}}, TIconImage{1, 1, {0x80FF0000}});
    EXPECT_EQ(half.pixels[0], 0xFF80007Fu);
    // Over a clear pixel the overlay keeps its own colour.
    EXPECT_EQ(ComposeTaskbarIcon(TIconImage{1, 1, {0}}, TIconImage{1, 1, {0x80FF0000}}).pixels[0], 0x80FF0000u);
}

TEST(SmlTaskbarIcons, TheServerIconIsDrawnAtTheDefaultSize) {
    // A 16-pixel icon is drawn 32 pixels large into a 16-pixel picture: its top-left quarter shows.
    TIconImage small{16, 16, std::vector<uint32_t>(16 * 16, 0xFF000000)};
    small.pixels[7 * 16 + 7] = 0xFFFFFFFF;
    const TIconImage fromSmall = ComposeTaskbarIcon(small, TIconImage{});
    ASSERT_EQ(fromSmall.width, 16);
    EXPECT_EQ(fromSmall.pixels[15 * 16 + 15], 0xFFFFFFFFu);
    EXPECT_EQ(fromSmall.pixels[14 * 16 + 14], 0xFFFFFFFFu);
    EXPECT_EQ(fromSmall.pixels[13 * 16 + 13], 0xFF000000u);

    // A 64-pixel icon fills only the default-size corner of its picture.
    const TIconImage big{64, 64, std::vector<uint32_t>(64 * 64, 0xFF123456)};
    const TIconImage fromBig = ComposeTaskbarIcon(big, TIconImage{});
    ASSERT_EQ(fromBig.pixels.size(), 64u * 64u);
    EXPECT_EQ(fromBig.pixels[31 * 64 + 31], 0xFF123456u);
    EXPECT_EQ(fromBig.pixels[32 * 64 + 32], 0u);
    // A picture whose pixels do not match its size is drawn as nothing.
    EXPECT_EQ(ComposeTaskbarIcon(TIconImage{2, 2, {1}}, TIconImage{}).pixels, std::vector<uint32_t>(4, 0));
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

TEST(SmlIconDirectory, ListsWhatTheBytesHoldAndRefusesOtherFiles) {
    // Two entries declared, one present: 16x16 (a zero side is 256), 32 bpp.
    std::vector<uint8_t> file{0, 0, 1, 0, 2, 0, 16, 0, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0};
    const auto entries = ReadIconDirectory(file);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].width, 16);
    EXPECT_EQ(entries[0].height, 256);
    EXPECT_EQ(entries[0].bitCount, 32);
    EXPECT_EQ(entries[0].offset, 22u);
    EXPECT_FALSE(LoadIconFile(file, nullptr));  // it declares more than it holds
    file[2] = 5;                                // not an icon or cursor file
    EXPECT_TRUE(ReadIconDirectory(file).empty());
}

}  // namespace
}  // namespace kiv
