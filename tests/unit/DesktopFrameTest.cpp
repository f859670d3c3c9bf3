// The full-desktop frame's logic against recording views: what the buttons,
// the border, the pointer and a resize make of the window and the session.
#include <gtest/gtest.h>

#include "channels/ByteOrder.h"
#include "infra/LanguageStyle.h"
#include "session/ClientForm.h"
#include "session/DesktopFrame.h"
#include "session/RecordingControl.h"
#include "session/SessionEvents.h"
#include "support/ClientFormFakes.h"
#include "support/FrameFakes.h"
#include "support/ManualClock.h"
#include "support/SessionFakes.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

class DesktopFrame : public ::testing::Test {
protected:
    TDesktopFrame& Make(int32_t screenFull, int monitorMode = 0) {
        record.ScreenFull = screenFull;
        record.AppName = "Notepad";
        frame.reset();
        frame = std::make_unique<TDesktopFrame>(TDesktopFramePorts{view, window, clock, &usb, &keys}, record,
                                                monitorMode, 6,
                                                TDesktopFrameHost{[this] { ++shown; }, [this] { ++asked; },
                                                                  [this](int32_t w, int32_t h) {
                                                                      sizes.push_back({0, 0, w, h});
                                                                  }});
        frame->LayoutToolbar();
        return *frame;
    }

    test::FakeFrameView view;
    test::FakeWindowView window;
    test::ManualClock clock;
    test::FakeUsbList usb;
    test::FakeHotKeys keys;
    TKIVFile record;
    std::unique_ptr<TDesktopFrame> frame;
    int shown = 0, asked = 0;
    std::vector<TRect> sizes;
};

TEST_F(DesktopFrame, MaximiseGoesToFullScreenAndBackToAPlainWindow) {
    Make(2);
    view.window = {0, 0, 1920, 1040};
    window.cover = true;
    view.events->OnBtnMaxClick();
    EXPECT_EQ(record.ScreenFull, 1);
    EXPECT_TRUE(view.maximized);
    EXPECT_FALSE(window.cover);
    EXPECT_EQ(window.placed, 1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(view.layout.dock, TToolbarDock::Floating);
    EXPECT_EQ(view.layout.rect.x, 560);
    // The second switch (here by a double click on the toolbar) lands on 0, not back on 2.
    view.events->OnToolbarDoubleClick();
    EXPECT_EQ(record.ScreenFull, 0);
    EXPECT_FALSE(view.maximized);
    EXPECT_EQ(window.placed, 2);
    EXPECT_EQ(view.layout.dock, TToolbarDock::Top);
}

TEST_F(DesktopFrame, DockedToolbarMovesTheWindowTheFloatingOneDoesNot) {
    Make(0);
    view.events->OnToolbarMouseDown(100, 10);
    EXPECT_EQ(view.moves, 1);
    view.events->OnToolbarMouseDown(100, 30);  // below its client rectangle
    EXPECT_EQ(view.moves, 1);
    Make(1);
    view.events->OnToolbarMouseDown(100, 10);
    EXPECT_EQ(view.moves, 1);
}

TEST_F(DesktopFrame, BorderSetsTheCursorAndResizesByItsZone) {
    Make(0);
    view.events->OnPanelMouseMove(799, 569);
    EXPECT_EQ(view.cursor, TFrameCursor::SizeNWSE);
    view.events->OnPanelMouseMove(400, 0);
    EXPECT_EQ(view.cursor, TFrameCursor::SizeNS);
    view.events->OnPanelMouseDown(0, 300);
    view.events->OnPanelMouseDown(400, 300);  // no zone: nothing
    EXPECT_EQ(view.resizes, std::vector<uint32_t>{kResizeLeft});
}

TEST_F(DesktopFrame, FullScreenToolbarDropsDownAndGoesUpAgain) {
    Make(1);
    view.window = {0, 0, 1920, 1040};
    frame->LayoutToolbar();
    view.events->OnWindowPointer(900, 1);
    EXPECT_EQ(view.toolbar.y, 0);
    EXPECT_EQ(view.raised, 1);
    view.events->OnWindowPointer(900, 20);  // on the toolbar: it stays
    EXPECT_EQ(view.toolbar.y, 0);
    view.menuOpen = true;
    view.events->OnWindowPointer(900, 500);
    EXPECT_EQ(view.toolbar.y, 0) << "the device menu keeps it down";
    view.menuOpen = false;
    view.events->OnWindowPointer(900, 500);
    EXPECT_EQ(view.toolbar.y, -30);
    // A docked toolbar ignores the pointer.
    Make(0);
    view.events->OnWindowPointer(10, 1);
    EXPECT_EQ(view.raised, 1);
}

TEST_F(DesktopFrame, SettledResizeRecordsTheSizeShowsAndTellsTheServer) {
    Make(0);
    view.window = {0, 0, 900, 650};
    view.viewRect = {1, 31, 898, 618};
    for (int i = 0; i < 5; ++i) {
        view.events->OnDesktopPanelResize();
        clock.Advance(kResizeSettleMs - 1);
    }
    EXPECT_TRUE(sizes.empty()) << "still moving";
    view.buttonDown = true;  // the window manager still has the edge
    clock.Advance(3 * kResizeSettleMs);
    EXPECT_TRUE(sizes.empty()) << "acted while the button was down";
    view.buttonDown = false;
    clock.Advance(kResizeSettleMs);
    EXPECT_EQ(record.Width, 900);
    EXPECT_EQ(record.Height, 650);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].width, 898);
    EXPECT_EQ(sizes[0].height, 618);
    EXPECT_EQ(view.followed, 1);
    clock.Advance(5000);
    EXPECT_EQ(sizes.size(), 1u) << "once per resize";

    // Not in a normal window state, nor with a floating toolbar.
    view.normal = false;
    view.events->OnDesktopPanelResize();
    clock.Advance(kResizeSettleMs);
    Make(1);
    view.normal = true;
    view.window = {0, 0, 1280, 800};
    view.events->OnDesktopPanelResize();
    clock.Advance(kResizeSettleMs);
    EXPECT_EQ(sizes.size(), 1u);
    EXPECT_EQ(view.layout.rect.x, 240) << "the floating toolbar stays centred";
}

TEST_F(DesktopFrame, DeviceMenuListsTheLibrarysDevicesAndRedirectsTheChosenOne) {
    Make(0);
    usb.list = "0012AB0003=1,U\xC5\xCC\r\n0000010001=0,USB Mouse\r\n0000200004=0,Printer";
    view.events->OnBtnMenuClick();
    ASSERT_EQ(view.menu.size(), 2u);
    EXPECT_TRUE(view.menu[0].checked);
    EXPECT_FALSE(view.menu[1].checked);
    EXPECT_EQ(view.menu[1].caption, "Printer");
    view.events->OnDeviceMenuItemClick(1);
    view.events->OnDeviceMenuItemClick(2);  // no such item
    EXPECT_EQ(usb.redirected, std::vector<int64_t>{0x20LL * 65536 + 4});
    EXPECT_EQ(usb.values, std::vector<int32_t>{0});

    // No devices: the menu stays shut. No library: it opens empty.
    usb.list = "";
    view.events->OnBtnMenuClick();
    EXPECT_EQ(view.menusShown, 1);
    usb.list.reset();
    view.events->OnBtnMenuClick();
    EXPECT_EQ(view.menusShown, 2);
    EXPECT_TRUE(view.menu.empty());
}

TEST_F(DesktopFrame, ButtonsMinimiseAndAskBeforeDisconnecting) {
    Make(0);
    view.events->OnBtnMinClick();
    view.events->OnBtnCloseClick();
    EXPECT_EQ(view.minimized, 1);
    EXPECT_EQ(asked, 1);
}

TEST_F(DesktopFrame, HotKeyMovesTheWindowBetweenTwoMonitors) {
    Make(0, 3);
    frame->ActivateHotKey();
    ASSERT_TRUE(keys.held);
    keys.events->OnHotKeyPressed(kHotKeyAlt, 'G');
    keys.events->OnHotKeyPressed(kHotKeyAlt, 'G');
    EXPECT_EQ(view.centredOn, (std::vector<int>{1, 0}));
    frame.reset();
    EXPECT_FALSE(keys.held);

    Make(0, 1);
    frame->ActivateHotKey();
    keys.events->OnHotKeyPressed(kHotKeyAlt, 'G');
    EXPECT_EQ(view.centredOn.size(), 2u);
}

// The session window with a frame: set up, shell start, the frame's requests.
class FramedClientForm : public ::testing::Test, protected test::ClientFormFakes {
protected:
    void SetUp() override {
        files.Write("lang.ini", "[TEXT]\nVYNDisconnect=VYNDisconnect\nsInfoCaption=sInfoCaption\n");
        files.Write("Resource.ini", "[LanguageStyle]\n1033=EN\n[EN]\nIniPath=lang.ini\nImgPath=\n");
        language = std::make_unique<TLanguageStyle>(files.path(), files.path() / "Resource.ini", 1033);
        SetLanguageStyle(language.get());
        record.AppID = "APP0001";
        record.AppTypeMode = 1;
        record.ServerHost = "srv";
    }
    void TearDown() override { SetLanguageStyle(nullptr); }

    void Start(int32_t screenFull) {
        record.ScreenFull = screenFull;
        TClientFormPorts ports = Ports(window);
        ports.frameView = &view;
        ports.hotKey = &keys;
        TClientFormSettings settings;
        settings.hotKeyIndex = 2;
        form = std::make_unique<TfrmClientForm>(ports, record, settings);
        form->SetUp({});
    }
    void ShellStarted() {
        control.Events()->OnConnecting();
        control.Events()->OnConnected();
        for (uint16_t e : {MSG_WINLOGON_AUTH_RESULT, MSG_WINLOGON_LOGON_OK, MSG_WINLOGON_SHELL_LOADING,
                           MSG_WINLOGON_SHELL_STARTED})
            form->OnSessionStateChanged(e, 0);
        clock.Advance(150);
    }
    std::vector<TBytes> ShellSent(uint16_t type) const {
        std::vector<TBytes> sent;
        for (const auto& call : control.Calls())
            if (call.name == "SendOnVirtualChannel:CSML" && ReadU16(&std::get<TBytes>(call.value)[3]) == type)
                sent.push_back(std::get<TBytes>(call.value));
        return sent;
    }

    std::unique_ptr<TLanguageStyle> language;
    test::FakeWindowView window;
    test::FakeFrameView view;
    test::FakeHotKeys keys;
    std::unique_ptr<TfrmClientForm> form;
};

TEST_F(FramedClientForm, FrameIsLaidOutAtSetUpTakesTheHotKeyAtShellStartAndSendsTheDesktopSize) {
    Start(0);
    ASSERT_NE(form->Frame(), nullptr);
    EXPECT_EQ(view.layout.dock, TToolbarDock::Top);
    EXPECT_FALSE(keys.held) << "not before the shell has started";
    ShellStarted();
    EXPECT_TRUE(keys.held);
    EXPECT_EQ(keys.key, uint32_t{'C'});

    view.window = {0, 0, 1000, 700};
    view.viewRect = {1, 31, 998, 668};
    view.events->OnDesktopPanelResize();
    clock.Advance(kResizeSettleMs);
    const std::vector<TBytes> sizes = ShellSent(SHELL_DESKTOP_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(ReadI32(&sizes[0][kShellValueOffset]), 998);
    EXPECT_EQ(ReadI32(&sizes[0][kShellTextOffset]), 668);
    EXPECT_EQ(window.region, "whole");

    // The close button asks the disconnect question.
    prompt.yes = false;
    view.events->OnBtnCloseClick();
    EXPECT_EQ(prompt.questions, std::vector<std::string>{"VYNDisconnect"});
    EXPECT_EQ(app.closed, 0);

    form->Shutdown();
    EXPECT_FALSE(keys.held);
}

TEST_F(FramedClientForm, SeamlessWindowsHaveNoFrame) {
    record.AppTypeMode = 2;
    Start(3);
    EXPECT_EQ(form->Frame(), nullptr);
    EXPECT_EQ(view.layouts, 0);
    ShellStarted();
    EXPECT_FALSE(keys.held);
}

}  // namespace
}  // namespace kiv
