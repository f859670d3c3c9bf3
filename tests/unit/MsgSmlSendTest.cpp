// What the user does with a taskbar button goes back to the server shell as a
// 21-byte window event: which command, which Data, and what a failed send does.
#include <gtest/gtest.h>

#include "unit/MsgSmlFakes.h"

namespace kiv {
namespace {

using test::Deliver;
using test::Update;

struct Desktop : IDesktopFacts {
    std::optional<TTaskbarEdge> TaskbarEdge() const override { return TTaskbarEdge::Bottom; }
    std::optional<TRect> NotifyAreaRect() const override { return std::nullopt; }
    TRect PrimaryWorkArea() const override { return work; }
    TRect MonitorArea(int) const override { return TRect{0, 0, 1920, 1080}; }
    TRect work{0, 0, 1920, 1040};
};

struct Event {
    int64_t serverHandle;
    uint16_t command;
    std::array<uint8_t, 8> data;
};

class SmlSend : public ::testing::Test {
protected:
    void SetUp() override {
        sml = std::make_unique<TMsgSml>(host, TSmlPorts{&taskbar, &surface, nullptr, &desktop});
        Update u;
        u.handle = 0x0102030405060708;
        Deliver(*sml, u.Bytes());
        button = sml->WindowList.GetItem(0)->ClientHandle;
        ASSERT_NE(button, 0u);
    }

    // The events sent so far, checked for their framing on the way.
    std::vector<Event> Sent() const {
        std::vector<Event> events;
        for (const auto& [channel, payload] : host.sent) {
            EXPECT_EQ(channel, "CSML");
            EXPECT_EQ(payload.size(), 22u);  // 21 bytes in 11 units
            if (payload.size() != 22) continue;
            EXPECT_EQ(payload[21], 0);
            EXPECT_EQ((std::array<uint8_t, 3>{payload[0], payload[1], payload[2]}),
                      (std::array<uint8_t, 3>{0x3F, 0xEE, 0x03}));
            Event e{};
            for (int i = 7; i >= 0; --i)
                e.serverHandle = static_cast<int64_t>((static_cast<uint64_t>(e.serverHandle) << 8) | payload[3 + i]);
            e.command = ReadU16(&payload[11]);
            std::copy(payload.begin() + 13, payload.begin() + 21, e.data.begin());
            events.push_back(e);
        }
        return events;
    }
    uint32_t Data32(const Event& e) const { return ReadU32(e.data.data()); }
    bool DataZeroFrom(const Event& e, std::size_t from) const {
        return std::all_of(e.data.begin() + static_cast<long>(from), e.data.end(), [](uint8_t b) { return b == 0; });
    }

    test::RecordingHost host;
    test::FakeTaskbar taskbar;
    test::FakeSurface surface;
    Desktop desktop;
    std::unique_ptr<TMsgSml> sml;
    TTaskbarHandle button = 0;
};

TEST_F(SmlSend, ActivationCarriesTheActivationWord) {
    taskbar.Raise(button, kTaskbarActivate, kActivateActive);
    taskbar.Raise(button, kTaskbarActivate, kActivateClickActive);
    taskbar.Raise(button, kTaskbarActivate, 0x00010001);  // activated while minimized
    taskbar.Raise(button, kTaskbarActivate, kActivateInactive);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    for (const Event& e : sent) {
        EXPECT_EQ(e.serverHandle, 0x0102030405060708);
        EXPECT_EQ(e.command, SML_CMD_ACTIVATE);
        EXPECT_TRUE(DataZeroFrom(e, 4));
    }
    EXPECT_EQ(Data32(sent[0]), 1u);
    EXPECT_EQ(Data32(sent[1]), 2u);
    EXPECT_EQ(Data32(sent[2]), 0x00010001u);
    EXPECT_EQ(surface.activations, 3);  // the session window comes forward each time
}

TEST_F(SmlSend, AltTabOntoAButtonGoesOnToTheNextTask) {
    TReconnectPolicy policy;
    TMsgShell shell(host, desktop, nullptr, policy, TShellContext{3});
    TKIVFile record;
    TImeWindow ime(shell, record, nullptr, true);
    sml->SetImeWindow(&ime);
    const TImeKey altDown{true, true, true, 0}, altUp{false, true, true, 0};

    // Alt held: the button activated by the switcher hands the activation back
    // to the session window, and its deactivation goes on to the next task.
    ime.OnKey(altDown);
    taskbar.Raise(button, kTaskbarActivate, kActivateActive);
    taskbar.Raise(button, kTaskbarActivate, kActivateInactive);
    EXPECT_EQ(taskbar.switchedFrom, std::vector<TTaskbarHandle>{button});
    EXPECT_FALSE(ime.AltTab);
    EXPECT_EQ(Sent().size(), 1u);  // only the activation

    // Used up; and an Alt that was let go switches nothing.
    taskbar.Raise(button, kTaskbarActivate, kActivateInactive);
    ime.OnKey(altDown);
    ime.OnKey(altUp);
    taskbar.Raise(button, kTaskbarActivate, kActivateInactive);
    EXPECT_EQ(taskbar.switchedFrom.size(), 1u);
}

TEST_F(SmlSend, SizeNoticesTellRestoredFromMinimized) {
    for (uint64_t kind : {kSizeRestored, kSizeMinimized, kSizeMaximized, uint64_t{3}, uint64_t{4}})
        taskbar.Raise(button, kTaskbarSize, kind);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(Data32(sent[0]), 0x00000001u);
    EXPECT_EQ(Data32(sent[1]), 0x00010001u);
    EXPECT_EQ(Data32(sent[2]), 0x00000001u);
    for (const Event& e : sent) EXPECT_EQ(e.command, SML_CMD_ACTIVATE);
    EXPECT_EQ(surface.activations, 0);
}

TEST_F(SmlSend, CloseAsksTheServerAndKeepsTheRecord) {
    taskbar.Raise(button, kTaskbarClose);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, SML_CMD_CLOSE);
    EXPECT_TRUE(DataZeroFrom(sent[0], 0));
    EXPECT_EQ(sml->WindowList.Count(), 1);  // until the server reports the window destroyed
}

TEST_F(SmlSend, TheWorkAreaGoesOutWhenItChanges) {
    desktop.work = TRect{0, 30, 1920, 1050};
    taskbar.Raise(button, kTaskbarSettingChange, 0x2A);  // another setting
    taskbar.Raise(button, kTaskbarSettingChange, kSettingWorkArea);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, SML_CMD_WORKAREA);
    EXPECT_EQ(ReadI16(&sent[0].data[0]), 0);
    EXPECT_EQ(ReadI16(&sent[0].data[2]), 30);
    EXPECT_EQ(ReadI16(&sent[0].data[4]), 1920);
    EXPECT_EQ(ReadI16(&sent[0].data[6]), 1080);
    EXPECT_EQ(sml->WorkArea, (TSmlRect{0, 30, 1920, 1080}));
}

TEST_F(SmlSend, TheWindowMenuIsTheServersAtTheCursor) {
    taskbar.cursorX = 1000;
    taskbar.cursorY = 700;
    taskbar.Raise(button, kTaskbarAfterMenuShow);
    taskbar.cursorX = -1;  // left of the primary screen
    taskbar.cursorY = 5;
    taskbar.Raise(button, kTaskbarExitMenuLoop);
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].command, SML_CMD_SYSMENU);
    EXPECT_EQ(Data32(sent[0]), 0x02BC03E8u);
    EXPECT_EQ(sent[1].command, SML_CMD_MENU_DONE);
    EXPECT_EQ(Data32(sent[1]), 0x0005FFFFu);
    EXPECT_TRUE(DataZeroFrom(sent[0], 4));
}

TEST_F(SmlSend, OtherMessagesSendNothing) {
    test::ScopedLog log({dmSml});
    for (uint32_t m : std::vector<uint32_t>{kTaskbarKeyDown, kTaskbarDestroy, kTaskbarSysCommand,
                                            kTaskbarInitMenuPopup, kTaskbarMenuRequest, 0x0020})
        taskbar.Raise(button, m, 0xF060, 0x00640032);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(log.Has("[TMsgSml.DummyWindowCallbackProc]256"));
    EXPECT_TRUE(log.Has("[TMsgSml.DummyWindowCallbackProc]WM_SYSCOMMAND出发了"));
    EXPECT_TRUE(log.Has("SC_CLOSE"));
    // A window the list does not know sends nothing either.
    taskbar.Raise(0xDEAD, kTaskbarClose);
    taskbar.Raise(0xDEAD, kTaskbarActivate, kActivateActive);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(SmlSend, AFailedSendRemovesTheRecordAndItsButton) {
    TSmlClientMsg message{};
    ASSERT_TRUE(sml->SetClientToServerBuf(SML_CMD_CLOSE, button, message));
    EXPECT_EQ(ReadU16(&message[11]), SML_CMD_CLOSE);
    EXPECT_EQ(sml->SendBufferToSvr(message), -1);
    EXPECT_FALSE(sml->SetClientToServerBuf(SML_CMD_CLOSE, 0xDEAD, message));

    host.failSend = true;
    EXPECT_EQ(sml->SendBufferToSvr(message), -2);
    EXPECT_EQ(sml->WindowList.Count(), 0);
    EXPECT_EQ(taskbar.destroyed, std::vector<TTaskbarHandle>{button});
    // From inside the button's own event as well: nothing is left to send for.
    Deliver(*sml, Update{}.Bytes());
    const TTaskbarHandle again = sml->WindowList.GetItem(0)->ClientHandle;
    taskbar.Raise(again, kTaskbarActivate, kActivateActive);
    EXPECT_EQ(sml->WindowList.Count(), 0);
    EXPECT_FALSE(taskbar.WindowExists(again));
}

TEST_F(SmlSend, TheEndOfTheDesktopSessionClearsEveryRecord) {
    Update second;
    second.handle = 0x99;
    Deliver(*sml, second.Bytes());
    ASSERT_EQ(taskbar.windows.size(), 2u);
    taskbar.Raise(button, kTaskbarEndSession);
    EXPECT_EQ(sml->WindowList.Count(), 0);
    EXPECT_TRUE(taskbar.windows.empty());
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(SmlSend, FreeingTheHandlerDestroysEveryButton) {
    sml.reset();
    EXPECT_TRUE(taskbar.windows.empty());
    EXPECT_EQ(taskbar.sink, nullptr);
}

TEST_F(SmlSend, TheActivationAskedForAtCreationIsNotSent) {
    taskbar.Raise(button, kTaskbarActivate, kActivateActive | kActivateRequested);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(surface.activations, 1);  // the session window still comes forward
    taskbar.Raise(button, kTaskbarActivate, kActivateActive);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].command, SML_CMD_ACTIVATE);
}

TEST_F(SmlSend, CloseActiveWindowClosesTheWindowLastActivated) {
    EXPECT_FALSE(sml->CloseActiveWindow()) << "nothing was activated yet";
    Update activated;
    activated.handle = 0x0102030405060708;
    activated.flags = SML_ACTIVATE;
    Deliver(*sml, activated.Bytes());
    ASSERT_TRUE(sml->CloseActiveWindow());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].command, SML_CMD_CLOSE);
    EXPECT_EQ(Sent()[0].serverHandle, 0x0102030405060708);
    Update parked = activated;
    parked.flags = SML_MINIMIZE;
    parked.left = parked.top = -32000;
    parked.right = -31840;
    parked.bottom = -31972;
    Deliver(*sml, parked.Bytes());
    EXPECT_FALSE(sml->CloseActiveWindow()) << "a minimized window is not active";
}

TEST_F(SmlSend, TheWindowMenuEndsWhenTheServersMenuGoes) {
    taskbar.Raise(button, kTaskbarAfterMenuShow);
    Update menu;
    menu.handle = 0x9001;
    menu.style = static_cast<int32_t>(MenuWindowStyle);
    menu.inTaskbar = 0;
    Deliver(*sml, menu.Bytes());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].command, SML_CMD_SYSMENU);
    menu.flags = SML_DESTROY;
    Deliver(*sml, menu.Bytes());
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[1].command, SML_CMD_MENU_DONE);
    EXPECT_EQ(Sent()[1].serverHandle, 0x0102030405060708);
}

TEST(SmlTaskbarWindows, StandWhereTheServerWindowIsAndCarryTheApplicationsNameWhenUntitled) {
    test::RecordingHost host;
    test::FakeTaskbar taskbar;
    TMsgSml sml(host, TSmlPorts{&taskbar, nullptr, nullptr, nullptr});
    sml.SetApplicationName("Notepad \xe8\xae\xb0");
    Update u;
    u.title.clear();
    Deliver(sml, u.Bytes());
    EXPECT_EQ(taskbar.Only().title, u"Notepad \u8bb0");
    EXPECT_EQ(taskbar.Only().rect.x, 100);
    EXPECT_EQ(taskbar.Only().rect.width, 400);
    u.left = 300;
    u.right = 700;
    u.title = u"Memo";
    Deliver(sml, u.Bytes());
    EXPECT_EQ(taskbar.Only().title, u"Memo");
    EXPECT_EQ(taskbar.Only().rect.x, 300);
    EXPECT_EQ(taskbar.Only().rect.height, 350);
}

}  // namespace
}  // namespace kiv
