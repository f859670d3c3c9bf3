// The demo desktop's pixels, as screen tests look for them.
#include <gtest/gtest.h>

#include "tools/demo-server/DesktopPattern.h"

namespace kiv::demo {
namespace {

std::uint32_t PixelOf(const TBytes& tile, int width, int height, int x, int yFromTop) {
    // Rows are stored bottom-up, pixels as B, G, R, A.
    const std::size_t at = (static_cast<std::size_t>(height - 1 - yFromTop) * width + x) * 4;
    EXPECT_EQ(tile[at + 3], 0xFF);
    return (tile[at + 2] << 16) | (tile[at + 1] << 8) | tile[at];
}

TEST(DesktopPattern, DemoBlueWithAFifthLighterGridEvery64Pixels) {
    EXPECT_EQ(kDemoDesktopColor, 0x2E5C8Au);
    EXPECT_EQ(kDemoGridColor, 0x577CA1u);
    EXPECT_EQ(LighterGridColor(0x000000), 0x333333u);
    EXPECT_EQ(LighterGridColor(0xFFFFFF), 0xFFFFFFu);
    const TDesktopPattern pattern;
    EXPECT_EQ(pattern.ColorAt(0, 0), kDemoGridColor);
    EXPECT_EQ(pattern.ColorAt(1, 1), kDemoDesktopColor);
    EXPECT_EQ(pattern.ColorAt(128, 5), kDemoGridColor);
    EXPECT_EQ(pattern.ColorAt(5, 192), kDemoGridColor);
    EXPECT_EQ(pattern.ColorAt(63, 127), kDemoDesktopColor);
}

TEST(DesktopPattern, TilesAreBottomUpBgra) {
    const TDesktopPattern pattern(0x102030);
    const TBytes tile = pattern.BottomUpTile(64, 60, 10, 8);
    ASSERT_EQ(tile.size(), 10u * 8 * 4);
    // Tile row 4 is desktop row 64: a grid line; the tile's first column is x = 64: a grid line too.
    EXPECT_EQ(PixelOf(tile, 10, 8, 5, 4), LighterGridColor(0x102030));
    EXPECT_EQ(PixelOf(tile, 10, 8, 0, 0), LighterGridColor(0x102030));
    EXPECT_EQ(PixelOf(tile, 10, 8, 5, 0), 0x102030u);
    EXPECT_EQ(PixelOf(tile, 10, 8, 9, 7), 0x102030u);
    EXPECT_TRUE(pattern.BottomUpTile(0, 0, 0, 5).empty());
    EXPECT_TRUE(pattern.BottomUpTile(0, 0, 5, -1).empty());
}

}  // namespace
}  // namespace kiv::demo
