// Window updates from the server shell: what is accepted, and what each flag
// does to the window records and their taskbar windows.
#include <gtest/gtest.h>

#include "channels/SmlRegionBlock.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

using test::Deliver;
using test::RegionBlock;
using test::Update;

struct Desktop : IDesktopFacts {
    std::optional<TTaskbarEdge> TaskbarEdge() const override { return TTaskbarEdge::Bottom; }
    std::optional<TRect> NotifyAreaRect() const override { return std::nullopt; }
    TRect PrimaryWorkArea() const override { return TRect{0, 0, 1920, 1040}; }
    TRect MonitorArea(int) const override { return TRect{0, 0, 1920, 1080}; }
};

class SmlReceive : public ::testing::Test {
protected:
    void SetUp() override { sml = std::make_unique<TMsgSml>(host, TSmlPorts{&taskbar, &surface, nullptr, &desktop}); }

    const TSmlWindowRec* Record(int64_t handle) const {
        return sml->WindowList.GetItem(sml->WindowList.IndexOfServer(handle));
    }
    static Update With(uint16_t flags, int64_t handle = 0x1001) {
        Update u;
        u.flags = flags;
        u.handle = handle;
        return u;
    }

    test::RecordingHost host;
    test::FakeTaskbar taskbar;
    test::FakeSurface surface;
    Desktop desktop;
    std::unique_ptr<TMsgSml> sml;
};

TEST_F(SmlReceive, TheLengthRuleDecidesWhatIsRead) {
    // 37 bytes arrive as len 38: the missing byte is the zero padding.
    Update bare;
    bare.title.clear();
    TBytes m37 = bare.Bytes();
    m37.resize(37);
    Deliver(*sml, m37);
    EXPECT_EQ(sml->WindowList.Count(), 1);

    // 38 bytes arrive as len 40: a two-byte title is the terminator, a four-byte one is too long.
    Update two = With(SML_CREATE_MOVE, 0x2002);
    two.title.clear();
    two.titleSize = 2;
    Deliver(*sml, two.Bytes());
    ASSERT_NE(Record(0x2002), nullptr);
    EXPECT_EQ(taskbar.windows.at(Record(0x2002)->ClientHandle).title, u"");

    Update four = With(SML_CREATE_MOVE, 0x3003);
    four.title.clear();
    four.titleSize = 4;
    Deliver(*sml, four.Bytes());
    EXPECT_EQ(Record(0x3003), nullptr);

    // Below 38 nothing is read at all.
    TBytes m35 = With(SML_CREATE_MOVE, 0x4004).Bytes();
    m35.resize(35);
    Deliver(*sml, m35);
    EXPECT_EQ(Record(0x4004), nullptr);
    sml->OnRecvbuffer(nullptr, -5);
    EXPECT_EQ(sml->WindowList.Count(), 2);
}

TEST_F(SmlReceive, SizesThatDoNotFitDropTheMessage) {
    const int clipsBefore = surface.sessionCalls;
    // The three sizes wrap to 8 in 32 bits: the sum must be taken wider.
    Update wrap;
    wrap.title.clear();
    wrap.region = RegionBlock({});
    wrap.region.resize(8);
    wrap.titleSize = 0x80000000u;
    wrap.iconSize = 0x80000000u;
    wrap.regionSize = 8;
    Deliver(*sml, wrap.Bytes());
    Update huge;
    huge.iconSize = 0xFFFFFFFFu;
    huge.regionSize = 0xFFFFFFFFu;
    Deliver(*sml, huge.Bytes());
    Update oneOver;
    oneOver.icon = test::IconFile32(2, 0xFF00FF00);
    oneOver.iconSize = static_cast<uint32_t>(oneOver.icon.size() + 3);  // past the two padding bytes
    Deliver(*sml, oneOver.Bytes());
    EXPECT_EQ(sml->WindowList.Count(), 0);
    EXPECT_EQ(surface.sessionCalls, clipsBefore);  // dropped messages do not re-clip
}

TEST_F(SmlReceive, ANewWindowGetsARecordAndATaskbarButton) {
    test::ScopedLog log({dmSml, dmMain});
    Update u;
    u.handle = 4097;
    u.title = u"Calculator – 计算器";
    Deliver(*sml, u.Bytes());
    const TSmlWindowRec* r = Record(4097);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->InTaskbar, 1);
    EXPECT_EQ((std::array<int16_t, 4>{r->Left, r->Top, r->Right, r->Bottom}), (std::array<int16_t, 4>{100, 50, 500, 400}));
    ASSERT_NE(r->ClientHandle, 0u);
    const auto& w = taskbar.windows.at(r->ClientHandle);
    EXPECT_EQ(w.className, "TKiv4097");
    EXPECT_EQ(w.title, u"Calculator – 计算器");
    EXPECT_FALSE(w.hasIcon);
    EXPECT_EQ(taskbar.active, r->ClientHandle);  // brought to the foreground when made
    EXPECT_TRUE(test::Covers(surface.session, 300, 200));
    EXPECT_TRUE(log.Has("[processBarWindow]Title=Calculator – 计算器"));
    EXPECT_TRUE(log.Has("[Active TaskBar Windows Ok]"));
    EXPECT_TRUE(log.Has("[TMsgSml.OnRecvbuffer] begin, BufferSize = "));
    EXPECT_TRUE(log.Has("[无缝单元-处理服务器消息]新窗口处理完成"));
    EXPECT_TRUE(log.Has(" Handle:0x1001 left=0100 top=0050 right=0500 bottom=0400\r\n"));
    EXPECT_TRUE(log.Has("Clip...Handle:0x1001 left=0100 top=0050 right=0500 bottom=0400"));
    EXPECT_TRUE(log.Has("ServerHandle=0x1001,ClientHanlde=0x5001"));

    // A second server window: a second button, told apart by the number.
    Deliver(*sml, With(SML_CREATE_MOVE, 4098).Bytes());
    ASSERT_EQ(taskbar.windows.size(), 2u);
    EXPECT_EQ(taskbar.windows.at(Record(4098)->ClientHandle).className, "TKiv4098");
}

TEST_F(SmlReceive, AWindowThatCannotBeActivatedOnlyLogsIt) {
    test::ScopedLog log({dmSml});
    taskbar.activationWorks = false;
    Deliver(*sml, Update{}.Bytes());
    EXPECT_NE(Record(0x1001)->ClientHandle, 0u);
    EXPECT_TRUE(log.Has("[Active TaskBar Windows Failer]"));
}

TEST_F(SmlReceive, WhoGetsNoTaskbarButton) {
    Update menu = With(SML_CREATE_MOVE, 0x10);
    menu.style = static_cast<int32_t>(0x94800000u);
    menu.left = 700, menu.top = 700, menu.right = 800, menu.bottom = 900;
    Deliver(*sml, menu.Bytes());
    Update noButton = With(SML_CREATE_MOVE, 0x11);
    noButton.inTaskbar = 0;
    Deliver(*sml, noButton.Bytes());
    Deliver(*sml, With(SML_CREATE_MOVE, 0).Bytes());  // no server handle
    taskbar.failCreate = true;
    Deliver(*sml, With(SML_CREATE_MOVE, 0x12).Bytes());
    EXPECT_EQ(sml->WindowList.Count(), 4);
    for (int64_t h : {0x10, 0x11, 0x0, 0x12}) EXPECT_EQ(Record(h)->ClientHandle, 0u) << h;
    EXPECT_TRUE(taskbar.windows.empty());
    EXPECT_TRUE(test::Covers(surface.session, 750, 800));  // the menu is still clipped in
}

TEST_F(SmlReceive, InTaskbarIsTakenOnlyWhenTheRecordIsMade) {
    Update quiet = With(SML_CREATE_MOVE, 0x21);
    quiet.inTaskbar = 0;
    Deliver(*sml, quiet.Bytes());
    Deliver(*sml, With(SML_CREATE_MOVE, 0x21).Bytes());  // now with InTaskbar 1
    EXPECT_EQ(Record(0x21)->ClientHandle, 0u);
    EXPECT_TRUE(taskbar.created.empty());

    Deliver(*sml, With(SML_CREATE_MOVE, 0x22).Bytes());
    Update moved = With(SML_CREATE_MOVE, 0x22);
    moved.inTaskbar = 0;
    moved.title = u"Renamed";
    moved.left = 10;
    Deliver(*sml, moved.Bytes());
    EXPECT_EQ(Record(0x22)->Left, 10);
    EXPECT_EQ(Record(0x22)->InTaskbar, 1);
    EXPECT_EQ(taskbar.windows.at(Record(0x22)->ClientHandle).title, u"Renamed");
}

TEST_F(SmlReceive, TitleOnlyChangesTheTitleAndDoesNotReclip) {
    Deliver(*sml, Update{}.Bytes());
    const int clips = surface.sessionCalls;
    Update title = With(SML_TITLE);
    title.title = u"Document1 - Editor";
    title.left = -5;  // not taken: a title change carries no geometry
    Deliver(*sml, title.Bytes());
    EXPECT_EQ(taskbar.Only().title, u"Document1 - Editor");
    EXPECT_EQ(Record(0x1001)->Left, 100);
    EXPECT_EQ(surface.sessionCalls, clips);

    // 0x0001 without a taskbar button creates or updates, still without re-clipping.
    Update unseen = With(SML_TITLE, 0x31);
    unseen.inTaskbar = 0;
    Deliver(*sml, unseen.Bytes());
    EXPECT_NE(Record(0x31), nullptr);
    EXPECT_EQ(surface.sessionCalls, clips);

    // A title for a window whose taskbar window is gone changes nothing.
    taskbar.windows.clear();
    Deliver(*sml, title.Bytes());
    EXPECT_EQ(taskbar.titlesSet.size(), 1u);
}

TEST_F(SmlReceive, FlagsZeroChangesNothingButReclips) {
    Deliver(*sml, Update{}.Bytes());
    const int clips = surface.sessionCalls;
    Update none = With(0);
    none.left = 0;
    Deliver(*sml, none.Bytes());
    EXPECT_EQ(Record(0x1001)->Left, 100);
    EXPECT_EQ(surface.sessionCalls, clips + 1);
    // So do the bits no step knows.
    Deliver(*sml, With(0x8100, 0x99).Bytes());
    EXPECT_EQ(Record(0x99), nullptr);
}

TEST_F(SmlReceive, DestroyAndShowTogetherRemoveTheRecord) {
    Deliver(*sml, Update{}.Bytes());
    const TTaskbarHandle button = Record(0x1001)->ClientHandle;
    Deliver(*sml, With(SML_DESTROY | SML_SHOW).Bytes());
    EXPECT_EQ(sml->WindowList.Count(), 0);
    EXPECT_EQ(taskbar.destroyed, std::vector<TTaskbarHandle>{button});
    EXPECT_FALSE(test::Covers(surface.session, 300, 200));
    // Unknown windows: destroy, show, hide, activate and minimize find nothing.
    Deliver(*sml, With(SML_DESTROY | SML_SHOW | SML_HIDE | SML_ACTIVATE | SML_MINIMIZE, 0x77).Bytes());
    EXPECT_EQ(sml->WindowList.Count(), 0);
}

TEST_F(SmlReceive, ShowAndHideMoveTheButtonAndTheRectangle) {
    Deliver(*sml, Update{}.Bytes());
    Update hide = With(SML_HIDE);
    hide.left = 20;
    Deliver(*sml, hide.Bytes());
    EXPECT_FALSE(taskbar.Only().visible);
    EXPECT_EQ(Record(0x1001)->Left, 20);
    Update show = With(SML_SHOW);
    show.left = 30;
    Deliver(*sml, show.Bytes());
    EXPECT_TRUE(taskbar.Only().visible);
    EXPECT_EQ(Record(0x1001)->Left, 30);
    // A record without a taskbar window keeps its rectangle on show and hide.
    Update quiet = With(SML_CREATE_MOVE, 0x40);
    quiet.inTaskbar = 0;
    Deliver(*sml, quiet.Bytes());
    Update showQuiet = With(SML_SHOW, 0x40);
    showQuiet.left = 1;
    Deliver(*sml, showQuiet.Bytes());
    EXPECT_EQ(Record(0x40)->Left, 100);
}

TEST_F(SmlReceive, ActivateOfTheActiveButtonSkipsTheMinimize) {
    Deliver(*sml, Update{}.Bytes());
    ASSERT_EQ(taskbar.active, Record(0x1001)->ClientHandle);
    Update both = With(SML_ACTIVATE | SML_MINIMIZE);
    both.left = 200;
    Deliver(*sml, both.Bytes());
    EXPECT_EQ(Record(0x1001)->Left, 200);
    EXPECT_EQ(taskbar.minimizeCalls, 0);
    EXPECT_FALSE(taskbar.Only().minimized);

    // Not the active window: the same message minimizes.
    taskbar.active = 0;
    both.left = -32000, both.top = -32000, both.right = -31840, both.bottom = -31972;
    Deliver(*sml, both.Bytes());
    EXPECT_TRUE(taskbar.Only().minimized);
    EXPECT_EQ(Record(0x1001)->Left, -32000);
    EXPECT_FALSE(test::Covers(surface.session, 300, 200));
}

TEST_F(SmlReceive, MinimizeWithoutAButtonStillStoresTheRectangle) {
    Update quiet = With(SML_CREATE_MOVE, 0x50);
    quiet.inTaskbar = 0;
    Deliver(*sml, quiet.Bytes());
    Update min = With(SML_MINIMIZE, 0x50);
    min.left = min.top = min.right = min.bottom = -32000;
    Deliver(*sml, min.Bytes());
    EXPECT_EQ(Record(0x50)->Left, -32000);
    EXPECT_EQ(taskbar.minimizeCalls, 1);  // tried, on no window
}

TEST_F(SmlReceive, RegionsArriveRelativeAndAreKeptInScreenCoordinates) {
    Update u;
    u.left = 100, u.top = 50;
    u.region = RegionBlock({{0, 0, 10, 10}});
    WriteI32(&u.region[16], 7);  // bounding rectangle: stays as sent
    Deliver(*sml, u.Bytes());
    const TSmlWindowRec* r = Record(0x1001);
    ASSERT_EQ(r->RegionSize, 48u);
    EXPECT_EQ(RegionBlockRects(r->Region), (std::vector<TSmlRect>{{100, 50, 110, 60}}));
    EXPECT_EQ(ReadI32(&r->Region[16]), 7);
    EXPECT_TRUE(test::Covers(surface.session, 105, 55));
    EXPECT_FALSE(test::Covers(surface.session, 300, 200));  // inside the rectangle, outside the region
}

TEST_F(SmlReceive, OneMessageOfSeveralStepsStoresItsRegionOnce) {
    Deliver(*sml, Update{}.Bytes());
    Update u = With(SML_CREATE_MOVE | SML_SHOW);
    u.region = RegionBlock({{0, 0, 20, 20}, {50, 50, 60, 60}});
    Deliver(*sml, u.Bytes());
    const TSmlWindowRec* r = Record(0x1001);
    EXPECT_EQ(r->RegionSize, 64u);
    EXPECT_EQ(RegionBlockRects(r->Region), (std::vector<TSmlRect>{{100, 50, 120, 70}, {150, 100, 160, 110}}));
    // A later update without a region makes it a plain rectangle again.
    Deliver(*sml, With(SML_CREATE_MOVE).Bytes());
    EXPECT_EQ(Record(0x1001)->RegionSize, 0u);
    EXPECT_TRUE(test::Covers(surface.session, 300, 200));
}

TEST_F(SmlReceive, HostileRegionPartsAreCutNeverOverread) {
    // Shorter than its header: no region, the window is its rectangle.
    Update shortBlock;
    shortBlock.region = TBytes(20, 0xFF);
    Deliver(*sml, shortBlock.Bytes());
    EXPECT_EQ(Record(0x1001)->RegionSize, 0u);
    EXPECT_TRUE(test::Covers(surface.session, 300, 200));

    // A count of a million with two rectangles present: the two are kept.
    Update lying = With(SML_CREATE_MOVE, 0x61);
    lying.region = RegionBlock({{0, 0, 5, 5}, {10, 10, 15, 15}}, 1000000u);
    lying.region.resize(lying.region.size() + 7, 0xAB);  // and a torn third one
    Deliver(*sml, lying.Bytes());
    const TSmlWindowRec* r = Record(0x61);
    ASSERT_EQ(r->RegionSize, 64u);
    EXPECT_EQ(ReadU32(&r->Region[8]), 2u);
    EXPECT_EQ(RegionBlockRects(r->Region).size(), 2u);

    // Coordinates near the 32-bit edge wrap when moved, and the window's rectangle cuts them.
    Update edge = With(SML_CREATE_MOVE, 0x62);
    edge.region = RegionBlock({{INT32_MAX - 5, INT32_MIN, INT32_MAX, INT32_MAX}});
    Deliver(*sml, edge.Bytes());
    EXPECT_EQ(RegionBlockRects(Record(0x62)->Region).size(), 1u);
}

TEST_F(SmlReceive, LongTitlesAreCutAndThePartsAfterThemStillFound) {
    Update u;
    u.title = std::u16string(300, u'x');  // 600 bytes
    u.icon = test::IconFile32(32, 0xFF3366CC);
    Deliver(*sml, u.Bytes());
    const TSmlWindowRec* r = Record(0x1001);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(taskbar.Only().title, std::u16string(260, u'x'));
    ASSERT_TRUE(r->Icon.has_value());  // the icon was read where the full title ended
    EXPECT_EQ(r->Icon->pixels[0], 0xFF3366CCu);

    // An odd size: the last byte is the low half of a unit.
    Update odd = With(SML_CREATE_MOVE, 0x71);
    odd.title = u"ab";
    odd.titleSize = 3;
    Deliver(*sml, odd.Bytes());
    EXPECT_EQ(taskbar.windows.at(Record(0x71)->ClientHandle).title, u"ab");
}

TEST_F(SmlReceive, TheIconIsComposedOnceWhenTheRecordIsMade) {
    sml->SetOverlayIcon(TIconImage{1, 1, {0xFFFF0000}});  // a red badge over everything
    Update u = With(SML_CREATE_MOVE | SML_ICON);
    u.icon = test::IconFile32(32, 0xFF00FF00);
    Deliver(*sml, u.Bytes());
    const TSmlWindowRec* r = Record(0x1001);
    ASSERT_TRUE(r->Icon.has_value());
    EXPECT_EQ(r->Icon->pixels[0], 0xFFFF0000u);
    ASSERT_TRUE(taskbar.Only().hasIcon);
    EXPECT_EQ(taskbar.Only().icon.pixels, r->Icon->pixels);

    sml->SetOverlayIcon(TIconImage{});
    u.icon = test::IconFile32(32, 0xFF0000FF);
    Deliver(*sml, u.Bytes());
    EXPECT_EQ(Record(0x1001)->Icon->pixels[0], 0xFFFF0000u);  // never replaced
    // An icon part that is no icon: the window comes without one.
    Update broken = With(SML_CREATE_MOVE, 0x81);
    broken.icon = TBytes(40, 0x11);
    Deliver(*sml, broken.Bytes());
    EXPECT_FALSE(Record(0x81)->Icon.has_value());
}

TEST_F(SmlReceive, AnErrorWhileHandlingIsLoggedAndTheListKeepsItsState) {
    test::ScopedLog log({dmMain});
    Deliver(*sml, With(SML_CREATE_MOVE, 0x90).Bytes());
    taskbar.throwOnCreate = true;
    Deliver(*sml, With(SML_CREATE_MOVE, 0x91).Bytes());
    EXPECT_TRUE(log.Has("[截屏接收消息]Exception:no window today"));
    EXPECT_EQ(sml->WindowList.Count(), 1);
    taskbar.throwOnCreate = false;
    Deliver(*sml, With(SML_CREATE_MOVE, 0x91).Bytes());
    EXPECT_EQ(sml->WindowList.Count(), 2);
}

TEST_F(SmlReceive, WithoutLocalWindowsTheRecordsAreStillKept) {
    TMsgSml bare(host, TSmlPorts{});
    Deliver(bare, Update{}.Bytes());
    Deliver(bare, With(SML_SHOW | SML_ACTIVATE | SML_MINIMIZE).Bytes());
    ASSERT_EQ(bare.WindowList.Count(), 1);
    EXPECT_EQ(bare.WindowList.GetItem(0)->ClientHandle, 0u);
    EXPECT_TRUE(bare.LastClip().Contains(300, 200));
    EXPECT_EQ(bare.ScreenWidth, 1024);
    EXPECT_EQ(sml->ScreenWidth, 1920);  // the primary screen's, when there is one
}

}  // namespace
}  // namespace kiv
