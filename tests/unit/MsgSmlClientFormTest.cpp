// The seamless handler inside the session window: created only in seamless
// mode, reached through the channels, shaping the window once the server has
// reported windows, and freed with the session.
#include <gtest/gtest.h>

#include "session/ClientForm.h"
#include "session/SessionEvents.h"
#include "support/ClientFormFakes.h"
#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

using test::Update;

class SmlInSessionWindow : public ::testing::Test, protected test::ClientFormFakes {
protected:
    TfrmClientForm& Start(int32_t screenFull = 3) {
        record.AppID = "APP0001";
        record.ServerHost = "srv";
        record.ScreenFull = screenFull;
        TClientFormPorts ports = Ports(view);
        ports.taskbarWindows = &taskbar;
        ports.seamlessSurface = &surface;
        form = std::make_unique<TfrmClientForm>(ports, record, TClientFormSettings{{}, false, 0, 30000});
        form->SetUp({});
        return *form;
    }
    void ShellStarted() {
        control.Events()->OnConnecting();
        control.Events()->OnConnected();
        form->OnSessionStateChanged(MSG_WINLOGON_AUTH_RESULT, 0);
        form->OnSessionStateChanged(MSG_WINLOGON_LOGON_OK, 7);
        form->OnSessionStateChanged(MSG_WINLOGON_SHELL_LOADING, 7);
        form->OnSessionStateChanged(MSG_WINLOGON_SHELL_STARTED, 0);
        clock.Advance(150);
    }
    std::vector<TBytes> SeamlessSent() const {
        std::vector<TBytes> sent;
        for (const auto& call : control.Calls())
            if (call.name == "SendOnVirtualChannel:CSML") {
                const TBytes& bytes = std::get<TBytes>(call.value);
                if (bytes.size() >= 3 && bytes[0] == 0x3F && bytes[1] == 0xEE && bytes[2] == 0x03) sent.push_back(bytes);
            }
        return sent;
    }

    test::FakeWindowView view;
    test::FakeTaskbar taskbar;
    test::FakeSurface surface;
    std::unique_ptr<TfrmClientForm> form;
};

TEST_F(SmlInSessionWindow, SeamlessModeRoutesWindowUpdatesToTheHandler) {
    Start();
    ASSERT_NE(form->MsgSml(), nullptr);
    ShellStarted();
    EXPECT_EQ(view.region, "empty");  // no server window yet

    Update u;
    u.icon = test::IconFile32(32, 0xFF00AA00);
    form->OnChannelReceivedData("CSML", u.Bytes());
    u.handle = 0x2002;
    form->OnChannelReceivedData("CSMP", u.Bytes());
    u.handle = 0x3003;
    form->OnChannelReceivedData("CSMT", u.Bytes());  // not its channel
    EXPECT_EQ(form->MsgSml()->WindowList.Count(), 2);
    ASSERT_EQ(taskbar.windows.size(), 2u);
    EXPECT_TRUE(test::Covers(surface.session, 300, 200));
    // The session window's badge is drawn over the server's icon.
    const TIconImage& icon = taskbar.windows.begin()->second.icon;
    ASSERT_EQ(icon.width, 32);
    EXPECT_EQ(icon.pixels[0], 0xFF00AA00u);
    EXPECT_NE(icon.pixels[25 * 32 + 1], 0xFF00AA00u);

    // A taskbar click goes to the server as an activation.
    taskbar.Raise(taskbar.created.front(), kTaskbarActivate, kActivateActive);
    const auto sent = SeamlessSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 22u);
    EXPECT_EQ(ReadU16(&sent[0][11]), SML_CMD_ACTIVATE);
}

TEST_F(SmlInSessionWindow, ShowingTheWindowAgainLeavesTheShapeToTheServersWindows) {
    Start();
    ShellStarted();
    form->OnChannelReceivedData("CSML", Update{}.Bytes());
    view.region = "untouched";
    const int clips = surface.sessionCalls;
    form->HideSessionWindow();
    EXPECT_EQ(view.region, "empty");
    view.region = "untouched";
    form->ShowSessionWindow();
    EXPECT_EQ(view.region, "untouched");
    EXPECT_EQ(surface.sessionCalls, clips + 1);
    EXPECT_TRUE(test::Covers(surface.session, 300, 200));

    // Once the last window is gone the empty shape is the session window's again.
    Update gone;
    gone.flags = SML_DESTROY;
    form->OnChannelReceivedData("CSML", gone.Bytes());
    form->ShowSessionWindow();
    EXPECT_EQ(view.region, "empty");
}

TEST_F(SmlInSessionWindow, OtherModesHaveNoSeamlessHandler) {
    Start(0);
    EXPECT_EQ(form->MsgSml(), nullptr);
    form->OnChannelReceivedData("CSML", Update{}.Bytes());
    EXPECT_TRUE(taskbar.windows.empty());
    EXPECT_EQ(taskbar.sink, nullptr);
}

TEST_F(SmlInSessionWindow, TheHandlerGoesWithTheSession) {
    Start();
    ShellStarted();
    form->OnChannelReceivedData("CSML", Update{}.Bytes());
    ASSERT_EQ(taskbar.windows.size(), 1u);
    form->Shutdown();
    EXPECT_EQ(form->MsgSml(), nullptr);
    EXPECT_TRUE(taskbar.windows.empty());
    EXPECT_EQ(taskbar.sink, nullptr);
}

}  // namespace
}  // namespace kiv
