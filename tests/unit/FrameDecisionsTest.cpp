// The full-desktop frame's rules, each a pure function: where the toolbar goes,
// which border zone is where, when the full-screen toolbar drops down, how the
// USB device list reads, and what the monitor hot key does.
#include <gtest/gtest.h>

#include "session/DropDownToolbar.h"
#include "session/FrameBorder.h"
#include "session/MyHotKey.h"
#include "session/ToolbarLayout.h"
#include "session/UsbDeviceList.h"
#include "support/FrameFakes.h"

namespace kiv {
namespace {

std::string Text(const TRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

TEST(FrameDecisions, ToolbarLayoutByDisplayMode) {
    struct Case {
        int32_t screenFull, windowWidth;
        TToolbarDock dock;
        std::string rect;
        int32_t margin, pen;
        bool borders;
    };
    const Case cases[] = {
        {0, 1024, TToolbarDock::Top, "0,0 1024x30", 1, 1, false},
        {2, 960, TToolbarDock::Top, "0,0 960x30", 1, 1, false},
        {4, 640, TToolbarDock::Top, "0,0 640x30", 1, 1, false},
        // Full screen: hidden above the window, 800 wide and centred once the window is wider than 799.
        {1, 1920, TToolbarDock::Floating, "560,-30 800x30", 0, 0, true},
        {1, 800, TToolbarDock::Floating, "0,-30 800x30", 0, 0, true},
        {1, 799, TToolbarDock::Floating, "0,-30 799x30", 0, 0, true},
        {1, 1001, TToolbarDock::Floating, "100,-30 800x30", 0, 0, true},
        {3, 1920, TToolbarDock::Hidden, "0,0 0x0", 0, 0, false},
        {7, 1920, TToolbarDock::Hidden, "0,0 0x0", 0, 0, false},
    };
    for (const Case& c : cases) {
        const TToolbarLayout l = ToolbarLayoutFor(c.screenFull, c.windowWidth, "Notepad");
        SCOPED_TRACE("mode " + std::to_string(c.screenFull) + " width " + std::to_string(c.windowWidth));
        EXPECT_EQ(l.dock, c.dock);
        EXPECT_EQ(Text(l.rect), c.rect);
        EXPECT_EQ(l.desktopMargin, c.margin);
        EXPECT_EQ(l.borderPenWidth, c.pen);
        EXPECT_EQ(l.panelBorders, c.borders);
        EXPECT_EQ(l.caption, "Notepad");
    }
}

TEST(FrameDecisions, BorderZonesTheirCursorsAndEdges) {
    // A 400 x 300 panel: zones reach 3 pixels in from each edge.
    struct Case {
        int32_t x, y;
        TBorderZone zone;
        TFrameCursor cursor;
        uint32_t edges;
    };
    const Case cases[] = {
        {0, 0, TBorderZone::TopLeft, TFrameCursor::SizeNWSE, kResizeTop | kResizeLeft},
        {3, 3, TBorderZone::TopLeft, TFrameCursor::SizeNWSE, kResizeTop | kResizeLeft},
        {399, 299, TBorderZone::BottomRight, TFrameCursor::SizeNWSE, kResizeBottom | kResizeRight},
        {397, 0, TBorderZone::TopRight, TFrameCursor::SizeNESW, kResizeTop | kResizeRight},
        {0, 297, TBorderZone::BottomLeft, TFrameCursor::SizeNESW, kResizeBottom | kResizeLeft},
        {0, 150, TBorderZone::Left, TFrameCursor::SizeWE, kResizeLeft},
        {399, 150, TBorderZone::Right, TFrameCursor::SizeWE, kResizeRight},
        {200, 0, TBorderZone::Top, TFrameCursor::SizeNS, kResizeTop},
        {200, 299, TBorderZone::Bottom, TFrameCursor::SizeNS, kResizeBottom},
        {4, 150, TBorderZone::None, TFrameCursor::Arrow, 0},
        {396, 296, TBorderZone::None, TFrameCursor::Arrow, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const TBorderZone zone = BorderZoneAt(c.x, c.y, 400, 300);
        EXPECT_EQ(zone, c.zone);
        EXPECT_EQ(ZoneCursor(zone), c.cursor);
        EXPECT_EQ(ZoneEdges(zone), c.edges);
    }
}

TEST(FrameDecisions, DropDownToolbar) {
    const TRect hidden{560, -30, 800, 30}, shown{560, 0, 800, 30};
    struct Case {
        const char* what;
        TDropDownState state;
        int32_t x, y;
        TDropDownAction action;
    };
    const Case cases[] = {
        {"hidden, pointer in the top strip", {hidden}, 560, 2, TDropDownAction::Show},
        {"hidden, strip is 3 pixels high", {hidden}, 700, 3, TDropDownAction::None},
        {"hidden, left of the strip", {hidden}, 559, 0, TDropDownAction::None},
        {"hidden, right of the strip", {hidden}, 1360, 0, TDropDownAction::None},
        {"shown, pointer on it", {shown}, 1359, 29, TDropDownAction::None},
        {"shown, pointer below it", {shown}, 700, 30, TDropDownAction::Hide},
        {"shown, pointer beside it", {shown}, 10, 5, TDropDownAction::Hide},
        {"shown, menu open", {shown, false, true}, 700, 400, TDropDownAction::None},
        {"pinned stays down", {shown, true}, 700, 400, TDropDownAction::Show},
        {"pinned comes down anywhere", {hidden, true}, 10, 700, TDropDownAction::Show},
    };
    for (const Case& c : cases) EXPECT_EQ(DropDownAction(c.state, c.x, c.y), c.action) << c.what;
}

TEST(FrameDecisions, UsbDeviceListLines) {
    const std::string list =
        "0012AB0003=1,USB Disk\r\n"
        "\r\n"
        "0000010001=0,Optical MOUSE\r\n"  // any spelling of mouse is left out
        "00FFFF000A=0,Card reader\n"
        "zz00010002=1 Printer\r"          // a tag that is not a number reads 0
        "0000050003=0,\n"                 // no caption
        "0000060004=2,Pointer mouse\n"
        "FFFFFFFFFF=1,Last";
    const std::vector<TUsbDevice> devices = ParseUsbList(list);
    struct Want {
        const char* caption;
        bool checked;
        int32_t tag, index;
        int64_t key;
    };
    const Want want[] = {
        {"USB Disk", true, 0x12AB, 3, 0x12ABLL * 65536 + 3},
        {"Card reader", false, 0xFFFF, 10, 0xFFFFLL * 65536 + 10},
        {"Printer", true, 0, 2, 2},
        {"", false, 5, 3, 5 * 65536 + 3},
        {"Last", true, 0xFFFFFF, 0xFFFF, 0xFFFFFFLL * 65536 + 0xFFFF},
    };
    ASSERT_EQ(devices.size(), std::size(want));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(want[i].caption);
        EXPECT_EQ(devices[i].caption, want[i].caption);
        EXPECT_EQ(devices[i].checked, want[i].checked);
        EXPECT_EQ(devices[i].tag, want[i].tag);
        EXPECT_EQ(devices[i].imageIndex, want[i].index);
        EXPECT_EQ(UsbDeviceKey(devices[i]), want[i].key);
    }
    // A line without "=" is all key; short keys read what is there.
    const std::vector<TUsbDevice> odd = ParseUsbList("12\nABCDEF12");
    ASSERT_EQ(odd.size(), 2u);
    EXPECT_EQ(odd[0].tag, 0x12);
    EXPECT_EQ(odd[0].imageIndex, 0);
    EXPECT_EQ(odd[1].tag, 0xABCDEF);
    EXPECT_EQ(odd[1].imageIndex, 0x12);
    EXPECT_EQ(odd[1].caption, "");
}

TEST(FrameDecisions, HotKeyTakesAltAndTheLetterAndAnswersOnlyThatCombination) {
    test::FakeHotKeys keys;
    int fired = 0;
    {
        TMyHotKey hotKey(&keys);
        hotKey.Key = 6;
        hotKey.OnHotkey = [&] { ++fired; };
        hotKey.SetActive(true);
        EXPECT_TRUE(keys.held);
        EXPECT_EQ(keys.modifiers, kHotKeyAlt);
        EXPECT_EQ(keys.key, uint32_t{'G'});
        keys.events->OnHotKeyPressed(kHotKeyAlt | kHotKeyShift, 'G');
        keys.events->OnHotKeyPressed(kHotKeyAlt, 'H');
        EXPECT_EQ(fired, 0);
        keys.events->OnHotKeyPressed(kHotKeyAlt, 'G');
        EXPECT_EQ(fired, 1);
        hotKey.SetActive(false);
        EXPECT_FALSE(keys.held);
        keys.events->OnHotKeyPressed(kHotKeyAlt, 'G');
        EXPECT_EQ(fired, 1);
        hotKey.SetActive(true);
    }
    EXPECT_FALSE(keys.held) << "destroying the component gives the key back";
    EXPECT_EQ(keys.released, 2);

    // Another program holds the combination: nothing to give back later.
    test::FakeHotKeys taken;
    taken.refuse = true;
    TMyHotKey refused(&taken);
    refused.SetActive(true);
    EXPECT_FALSE(refused.Registered());
    refused.SetActive(false);
    EXPECT_EQ(taken.released, 0);
}

TEST(FrameDecisions, HotKeySwitchesMonitorsOnlyInTwoMonitorMode) {
    EXPECT_EQ(MonitorAfterHotkey(3, 0), 1);
    EXPECT_EQ(MonitorAfterHotkey(3, 1), 0);
    for (int mode : {0, 1, 2}) EXPECT_EQ(MonitorAfterHotkey(mode, 0), std::nullopt) << mode;
}

}  // namespace
}  // namespace kiv
