// The clipping of the session window: the union of the server windows' areas,
// and the region type it is built with.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "channels/SmlRegionBlock.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

using test::Covers;
using test::Deliver;
using test::RegionBlock;
using test::Update;

// The shape the windows take: bands of equal top and bottom, sorted, disjoint,
// nothing touching, and no two bands alike that meet.
void ExpectBanded(const TSmlRegion& region) {
    std::vector<std::vector<TSmlRect>> bands;
    for (const TSmlRect& r : region.Rects()) {
        ASSERT_FALSE(r.Empty());
        if (bands.empty() || bands.back().front().top != r.top) {
            if (!bands.empty()) {
                ASSERT_GE(r.top, bands.back().front().bottom);
            }
            bands.emplace_back();
        } else {
            ASSERT_EQ(r.bottom, bands.back().back().bottom);
            ASSERT_LT(bands.back().back().right, r.left);  // not even touching
        }
        bands.back().push_back(r);
    }
    for (std::size_t i = 1; i < bands.size(); ++i) {
        if (bands[i].front().top != bands[i - 1].front().bottom) continue;
        bool same = bands[i].size() == bands[i - 1].size();
        for (std::size_t k = 0; same && k < bands[i].size(); ++k)
            same = bands[i][k].left == bands[i - 1][k].left && bands[i][k].right == bands[i - 1][k].right;
        ASSERT_FALSE(same) << "two meeting bands alike at y " << bands[i].front().top;
    }
}

int64_t PixelArea(const std::vector<TSmlRect>& rects, int size) {
    int64_t area = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (const TSmlRect& r : rects)
                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                    ++area;
                    break;
                }
    return area;
}

TEST(SmlRegionUnion, MatchesAPixelByPixelUnion) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> coordinate(-2, 40);
    for (int round = 0; round < 200; ++round) {
        std::vector<TSmlRect> rects(static_cast<std::size_t>(round % 12));
        for (TSmlRect& r : rects) r = {coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
        const TSmlRegion region = TSmlRegion::Union(rects);
        ExpectBanded(region);
        std::vector<TSmlRect> inside;  // the same rectangles, cut to the test's grid
        for (const TSmlRect& r : rects) inside.push_back(Intersect(r, {0, 0, 40, 40}));
        EXPECT_EQ(TSmlRegion::Union(inside).Area(), PixelArea(rects, 40)) << "round " << round;
        for (int y = -2; y < 41; y += 3)
            for (int x = -2; x < 41; x += 3) {
                const bool expected = std::any_of(rects.begin(), rects.end(), [&](const TSmlRect& r) {
                    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                });
                ASSERT_EQ(region.Contains(x, y), expected) << round << ": " << x << "," << y;
            }
    }
}

TEST(SmlRegionUnion, NeighboursMergeAndEmptinessAddsNothing) {
    EXPECT_EQ(TSmlRegion::Union({{0, 0, 10, 10}, {10, 0, 20, 10}}).Rects(), (std::vector<TSmlRect>{{0, 0, 20, 10}}));
    EXPECT_EQ(TSmlRegion::Union({{0, 0, 10, 10}, {0, 10, 10, 20}}).Rects(), (std::vector<TSmlRect>{{0, 0, 10, 20}}));
    EXPECT_TRUE(TSmlRegion::Union({{5, 5, 5, 9}, {9, 9, 1, 1}, {0, 0, 0, 0}}).Empty());
    EXPECT_TRUE(TSmlRegion::Union({}).Empty());
    // A cross: three bands, the middle one wide.
    const TSmlRegion cross = TSmlRegion::Union({{10, 0, 20, 30}, {0, 10, 30, 20}});
    EXPECT_EQ(cross.Rects(), (std::vector<TSmlRect>{{10, 0, 20, 10}, {0, 10, 30, 20}, {10, 20, 20, 30}}));
    EXPECT_EQ(cross.Area(), 500);
}

TEST(SmlRegionUnion, ExtremeCoordinatesStayDefined) {
    const TSmlRegion wide = TSmlRegion::Union({{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}});
    EXPECT_EQ(wide.Area(), INT64_MAX);  // more pixels than 63 bits count
    EXPECT_EQ(wide.ToRects().front().width, INT32_MAX);  // cut, not wrapped
}

// Replacing an area (whole rows, a window's rectangle, one reaching past the
// rectangles or lying outside them all) gives what a full union gives.
TEST(SmlRegionUnion, ReplacingAnAreaGivesWhatAFullUnionGives) {
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> coordinate(-2, 40);
    const auto some = [&](std::size_t count) {
        std::vector<TSmlRect> rects(count);
        for (TSmlRect& r : rects) r = {coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
        return rects;
    };
    const auto around = [](const std::vector<TSmlRect>& rects, bool wholeRows) {
        TSmlRect area{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (const TSmlRect& r : rects)
            area = {std::min({area.left, r.left, r.right}), std::min({area.top, r.top, r.bottom}),
                    std::max({area.right, r.left, r.right}), std::max({area.bottom, r.top, r.bottom})};
        if (wholeRows) area.left = INT32_MIN, area.right = INT32_MAX;
        return area;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::vector<TSmlRect> kept = some(static_cast<std::size_t>(round % 13));
        const std::vector<TSmlRect> old = some(1 + round % 3), now = some(1 + round % 2);
        std::vector<TSmlRect> before = kept, after = kept;
        before.insert(before.end(), old.begin(), old.end());
        after.insert(after.end(), now.begin(), now.end());
        TSmlRegion replaced = TSmlRegion::Union(before);
        if (round % 4 == 0) {
            std::vector<TSmlRect> all = before;
            all.insert(all.end(), now.begin(), now.end());
            replaced.ReplaceArea(around(all, false), after);  // an area around everything
        } else {
            // What the changed rectangles covered, then what they cover.
            replaced.ReplaceArea(around(old, round % 4 == 1), after);
            replaced.ReplaceArea(around(now, false), after);
        }
        ExpectBanded(replaced);
        ASSERT_EQ(replaced.Rects(), TSmlRegion::Union(after).Rects()) << "round " << round;
    }
    TSmlRegion region = TSmlRegion::Union({{0, 0, 10, 10}});
    region.ReplaceArea({5, 5, 5, 20}, {{0, 0, 40, 40}});  // an empty area changes nothing
    EXPECT_EQ(region.Rects(), (std::vector<TSmlRect>{{0, 0, 10, 10}}));
    region.ReplaceArea({5, -5, 8, 20}, {});  // a slit cut out of the middle and the edges
    EXPECT_EQ(region.Rects(), (std::vector<TSmlRect>{{0, 0, 5, 10}, {8, 0, 10, 10}}));
}

TEST(SmlRegionBlocks, ReadNoMoreThanTheyHold) {
    EXPECT_FALSE(MakeScreenRegionBlock(TBytes(31, 0), 0, 0).has_value());
    const TBytes empty = RegionBlock({});
    EXPECT_EQ(MakeScreenRegionBlock(empty, 5, 5)->size(), 32u);
    EXPECT_TRUE(RegionBlockRects(TBytes(10, 0xFF)).empty());
    TBytes lying = RegionBlock({{1, 2, 3, 4}}, 0xFFFFFFFFu);
    EXPECT_EQ(RegionBlockRects(lying), (std::vector<TSmlRect>{{1, 2, 3, 4}}));
    const auto moved = MakeScreenRegionBlock(lying, -1, 10);
    EXPECT_EQ(RegionBlockRects(*moved), (std::vector<TSmlRect>{{0, 12, 2, 14}}));
}

class SmlClip : public ::testing::Test {
protected:
    test::RecordingHost host;
    test::FakeTaskbar taskbar;
    test::FakeSurface surface;
    TMsgSml sml{host, TSmlPorts{&taskbar, &surface, nullptr, nullptr}};

    void Window(int64_t handle, int16_t l, int16_t t, int16_t r, int16_t b, TBytes region = {}) {
        Update u;
        u.handle = handle;
        u.left = l, u.top = t, u.right = r, u.bottom = b;
        u.region = std::move(region);
        Deliver(sml, u.Bytes());
    }
};

TEST_F(SmlClip, WithoutWindowsOnlyTheCornerPixelShows) {
    test::ScopedLog log({dmSml});
    Update nothing;
    nothing.flags = 0;
    Deliver(sml, nothing.Bytes());
    ASSERT_EQ(surface.session.size(), 1u);
    EXPECT_EQ((std::array<int32_t, 4>{surface.session[0].x, surface.session[0].y, surface.session[0].width,
                                      surface.session[0].height}),
              (std::array<int32_t, 4>{0, 0, 1, 1}));
    EXPECT_EQ(surface.ime.size(), 1u);  // the input-method window takes the same shape
    EXPECT_FALSE(sml.FirstClip);
    EXPECT_TRUE(log.Has("[InitMainWindow]..."));
}

TEST_F(SmlClip, ParkedWindowsAreLeftOutAndPartlyOffscreenOnesAreNot) {
    Window(1, -32000, -32000, -31840, -31972);
    EXPECT_EQ(sml.LastClip().Area(), 1);
    Window(2, -10, -10, 100, 100);
    EXPECT_TRUE(Covers(surface.session, -5, -5));
    EXPECT_TRUE(Covers(surface.session, 99, 99));
    EXPECT_FALSE(Covers(surface.session, 100, 50));
    EXPECT_EQ(sml.LastClip().Area(), 110 * 110);  // the corner pixel lies inside
}

TEST_F(SmlClip, AWindowWithARegionShowsOnlyWhereBothAre) {
    // A window at 100,50 with a region reaching beyond its right edge.
    Window(1, 100, 50, 500, 400, RegionBlock({{0, 0, 1000, 10}, {0, 100, 10, 110}}));
    EXPECT_EQ(sml.LastClip().Area(), 1 + 400 * 10 + 10 * 10);
    EXPECT_TRUE(Covers(surface.session, 499, 55));
    EXPECT_FALSE(Covers(surface.session, 500, 55));
    EXPECT_TRUE(Covers(surface.session, 105, 155));
    EXPECT_FALSE(Covers(surface.session, 300, 200));
    // An empty region block: the window shows nothing.
    Window(2, 600, 600, 700, 700, RegionBlock({}));
    EXPECT_FALSE(Covers(surface.session, 650, 650));
}

TEST_F(SmlClip, EveryWindowAddsItsAreaWithOrWithoutAButton) {
    Window(1, 0, 0, 100, 100);
    Update menu;
    menu.handle = 2;
    menu.style = static_cast<int32_t>(MenuWindowStyle);
    menu.left = 50, menu.top = 50, menu.right = 150, menu.bottom = 150;
    Deliver(sml, menu.Bytes());
    Window(3, 300, 300, 200, 200);  // edges the wrong way round
    EXPECT_EQ(sml.LastClip().Area(), 100 * 100 + 100 * 100 - 50 * 50 + 100 * 100);
    ExpectBanded(sml.LastClip());
    EXPECT_TRUE(Covers(surface.session, 250, 250));
}

// Each update re-clips only where its window's part of the shape changed; the
// result must be the union of every window from scratch, whatever happened to
// the others in between: moves far and small (a drag), resizes, shapes, z-order
// changes, deletes, windows past the screen's edges, empty and inverted ones.
TEST_F(SmlClip, EachUpdateGivesTheFullUnion) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 29), coordinate(-150, 2000), size(-20, 400), nudge(-6, 6);
    std::map<int64_t, std::array<int16_t, 4>> placed;
    for (int step = 0; step < 1500; ++step) {
        Update u;
        u.handle = 1 + pick(random);
        u.left = static_cast<int16_t>(coordinate(random)), u.top = static_cast<int16_t>(coordinate(random));
        u.right = static_cast<int16_t>(u.left + size(random)), u.bottom = static_cast<int16_t>(u.top + size(random));
        if (step % 2 == 0 && placed.count(u.handle)) {  // dragged or resized a little from where it is
            const auto& [l, t, r, b] = placed[u.handle];
            const int dx = nudge(random), dy = nudge(random);
            u.left = static_cast<int16_t>(l + dx), u.top = static_cast<int16_t>(t + dy);
            u.right = static_cast<int16_t>(r + dx + (step % 6 == 0 ? nudge(random) : 0));
            u.bottom = static_cast<int16_t>(b + dy);
        }
        switch (step % 9) {
            case 1: u.flags = SML_DESTROY; break;
            case 2: u.region = RegionBlock({{0, 0, 40, 5}, {3, 5, 30, 60}, {-10, 58, 500, 61}}); break;
            case 3: u.left = u.top = u.right = u.bottom = -32000; break;  // parked
            case 4: u.flags = SML_TITLE, u.inTaskbar = static_cast<uint8_t>(step % 2); break;
            case 5: u.flags = SML_HIDE | SML_MINIMIZE; break;
            case 6: u.flags = SML_ACTIVATE | SML_SHOW; break;  // brought to the front
            case 7: u.region = RegionBlock({{2, 2, 4, 4}, {6, 2, 8, 4}, {2, 6, 8, 8}}); break;
            default: break;
        }
        if (u.flags != SML_DESTROY) placed[u.handle] = {u.left, u.top, u.right, u.bottom};
        // Now and then a window goes away outside the handler's update path.
        if (step % 37 == 0 && sml.WindowList.Count() > 0) sml.WindowList.Delete(0);
        Deliver(sml, u.Bytes());
        if (u.flags == SML_TITLE) continue;  // a title-only update leaves the shape as it was
        ASSERT_EQ(sml.LastClip().Rects(), sml.FullClip().Rects()) << "step " << step;
        ExpectBanded(sml.LastClip());
    }
}

TEST_F(SmlClip, ReClipUsesTheRecordsAsTheyAre) {
    // A record made by a title-only message has not been clipped in yet.
    Update title;
    title.flags = SML_TITLE;
    title.inTaskbar = 0;
    Deliver(sml, title.Bytes());
    EXPECT_EQ(surface.sessionCalls, 0);
    sml.ReClip();
    EXPECT_TRUE(Covers(surface.session, 300, 200));
}

}  // namespace
}  // namespace kiv
