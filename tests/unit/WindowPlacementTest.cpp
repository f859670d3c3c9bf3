#include <gtest/gtest.h>

#include "session/WindowPlacement.h"

namespace kiv {
namespace {

const std::vector<TMonitor> kOne{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};
const std::vector<TMonitor> kTwo{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}, {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}}};

bool Same(const TRect& a, const TRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

TEST(WindowPlacement, WindowedModesAreCentredAndClamped) {
    TKIVFile r;
    r.ScreenFull = 0;
    EXPECT_TRUE(Same(PlaceWindow(r, 0, kOne).rect, TRect{560, 220, 800, 600}));
    EXPECT_EQ(r.Width, 800);  // written back
    r.Width = 2500;
    r.Height = 700;
    EXPECT_TRUE(Same(PlaceWindow(r, 0, kOne).rect, TRect{0, 170, 1920, 700}));
    r.ScreenFull = 2;
    r.Proportion = 50;
    EXPECT_TRUE(Same(PlaceWindow(r, 0, kOne).rect, TRect{0, 0, 960, 520}));
}

TEST(WindowPlacement, AProportionalWindowWithoutAProportionTakesTheDefaultSize) {
    for (const int32_t proportion : {0, -5}) {
        TKIVFile r;
        r.ScreenFull = 2;
        r.Proportion = proportion;
        EXPECT_TRUE(Same(PlaceWindow(r, 0, kOne).rect, TRect{0, 0, 800, 600})) << proportion;
    }
}

TEST(WindowPlacement, FullScreenAndMonitorModes) {
    TKIVFile desktop;
    desktop.ScreenFull = 1;
    desktop.AppTypeMode = 1;
    const TPlacement whole = PlaceWindow(desktop, 0, kOne);
    EXPECT_TRUE(whole.maximized);
    EXPECT_TRUE(Same(whole.rect, TRect{0, 0, 1920, 1080}));
    desktop.AppTypeMode = 2;
    EXPECT_TRUE(Same(PlaceWindow(desktop, 0, kOne).rect, kOne[0].workArea));

    TKIVFile seamless;
    seamless.ScreenFull = 3;
    EXPECT_TRUE(Same(PlaceWindow(seamless, 0, kTwo).rect, kTwo[0].workArea));
    EXPECT_TRUE(Same(PlaceWindow(seamless, 3, kTwo).rect, kTwo[1].workArea));  // monitor 0 is wider: take 1
    EXPECT_TRUE(Same(PlaceWindow(seamless, 2, kTwo).rect, kTwo[1].workArea));
    EXPECT_TRUE(Same(CenterOnMonitor(TRect{0, 0, 100, 100}, 5, kTwo), TRect{0, 0, 100, 100}));
    EXPECT_TRUE(Same(CenterOnMonitor(TRect{0, 0, 280, 24}, 1, kTwo), TRect{2420, 500, 280, 24}));
}

TEST(WindowPlacement, TwoMonitorsOfEqualWidthTakeTheFirst) {
    const std::vector<TMonitor> equal{{{0, 0, 1280, 800}, {0, 0, 1280, 770}}, {{1280, 0, 1280, 1024}, {1280, 0, 1280, 1024}}};
    TKIVFile seamless;
    seamless.ScreenFull = 3;
    EXPECT_TRUE(Same(PlaceWindow(seamless, 3, equal).rect, equal[0].workArea));
}

TEST(WindowPlacement, MonitorAndHotKeySettings) {
    EXPECT_EQ(NormaliseMonitorMode(-1, 2), 3);
    EXPECT_EQ(NormaliseMonitorMode(-1, 1), 0);
    EXPECT_EQ(NormaliseMonitorMode(0, 2), 3);
    EXPECT_EQ(NormaliseMonitorMode(2, 1), 0);
    EXPECT_EQ(NormaliseMonitorMode(2, 2), 2);
    EXPECT_EQ(NormaliseHotKeyIndex(27), 6);
    EXPECT_EQ(NormaliseHotKeyIndex(-1), 6);
    EXPECT_EQ(NormaliseHotKeyIndex(26), 26);
}

}  // namespace
}  // namespace kiv
