#include <gtest/gtest.h>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/MsgShell.h"
#include "session/SessionEvents.h"

namespace kiv {
namespace {

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override { sent.emplace_back(chan, data); }
    void OnSessionStateChanged(uint16_t e, int32_t r) override { events.emplace_back(e, r); }
    TWindowHandle MainFormHandle() const override { return 1; }
    std::vector<std::pair<std::string, TBytes>> sent;
    std::vector<std::pair<uint16_t, int32_t>> events;
};

struct Desktop : IDesktopFacts {
    std::optional<TTaskbarEdge> TaskbarEdge() const override { return edge; }
    std::optional<TRect> NotifyAreaRect() const override { return notify; }
    TRect PrimaryWorkArea() const override { return work; }
    TRect MonitorArea(int mode) const override { return mode == 3 ? TRect{0, 0, 3840, 1080} : TRect{1920, 0, 1280, 1024}; }
    std::optional<TTaskbarEdge> edge = TTaskbarEdge::Bottom;
    std::optional<TRect> notify = TRect{1500, 1050, 120, 30};
    TRect work{0, 0, 1920, 1050};
};

struct Usb : IUsbLibrary {
    std::optional<std::string> GetUsbList() override { return std::nullopt; }
    bool RedirectUsb(int64_t, int32_t) override { return false; }
    bool SendClientInitParam(const std::string& p) override {
        params.push_back(p);
        return true;
    }
    std::vector<std::string> params;
};

class Shell : public ::testing::Test {
protected:
    TMsgShell& Make(TShellContext context = {3, false, 0}) {
        shell = std::make_unique<TMsgShell>(host, desktop, &usb, policy, context);
        return *shell;
    }
    static TBytes Server(uint16_t type, int32_t p1 = 0, int32_t p2 = 0, std::size_t size = 18) {
        TBytes m(size, 0);
        m[0] = 0x5A;
        m[1] = 0x2E;
        m[2] = 0x07;
        WriteU16(&m[3], type);
        WriteI32(&m[5], p1);
        WriteI32(&m[9], p2);
        return m;
    }
    // The message bytes of the n-th sent payload, without the framing's trailing zeros.
    TBytes Sent(std::size_t n, std::size_t messageSize) const { return TBytes(host.sent[n].second.begin(), host.sent[n].second.begin() + static_cast<long>(messageSize)); }

    Host host;
    Desktop desktop;
    Usb usb;
    TReconnectPolicy policy;
    std::unique_ptr<TMsgShell> shell;
};

TEST_F(Shell, TextMessagesHaveTheirLengthRule) {
    TMsgShell& s = Make();
    s.SendShellText("APP1", "ab", SHELL_DRIVE_PATHS);
    s.SendShellText("APP1", "0123456789", SHELL_IME_TEXT);
    ASSERT_EQ(host.sent.size(), 2u);
    EXPECT_EQ(host.sent[0].first, "CSML");
    EXPECT_EQ(host.sent[0].second.size(), 26u);  // 25 bytes framed
    EXPECT_EQ(host.sent[1].second.size(), 34u);  // 32 bytes framed
    const TBytes m = Sent(0, 25);
    EXPECT_EQ(ReadU16(&m[3]), SHELL_DRIVE_PATHS);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[5])), "APP1");
    EXPECT_EQ(ReadI32(&m[17]), 2);
    EXPECT_EQ(m[21], 'a');
    EXPECT_EQ(m[23], 0);
}

TEST_F(Shell, LongNamesStayInsideTheirField) {
    TMsgShell& s = Make();
    s.SendShellText("ABCDEFGHIJKLMNOP", "", SHELL_IME_TEXT);
    const TBytes m = Sent(0, 25);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[5])), "ABCDEFGHIJK");
    EXPECT_EQ(m[16], 0);
    EXPECT_EQ(ReadI32(&m[17]), 0);  // Value untouched by the name
}

TEST_F(Shell, MouseSwapValueOnlyWhenSwapped) {
    Make({3, true, 0}).SendShellCommand(SHELL_MOUSE_SWAP);
    shell->SendShellCommand(SHELL_EXIT);
    EXPECT_EQ(ReadI32(&Sent(0, 25)[17]), 1);
    EXPECT_EQ(ReadI32(&Sent(1, 25)[17]), 0);
    Make({3, false, 0}).SendShellCommand(SHELL_MOUSE_SWAP);
    EXPECT_EQ(ReadI32(&Sent(2, 25)[17]), 0);
}

TEST_F(Shell, StartAppAndNumbers) {
    TMsgShell& s = Make();
    s.SendStartApp("APP0001", 1, "\\\\tsclient\\root\\tmp\\a.txt");
    const std::string param = "\\\\tsclient\\root\\tmp\\a.txt";
    ASSERT_EQ(host.sent[0].second.size(), WrappedSize(param.size() + 25));
    const TBytes m = Sent(0, param.size() + 25);
    EXPECT_EQ(ReadU16(&m[3]), SHELL_START_APP);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[5])), "APP0001");
    EXPECT_EQ(ReadI32(&m[17]), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[21])), param);
    s.SendShellValues(SHELL_TRAFFIC, 1234, -5);
    const TBytes t = Sent(1, 25);
    EXPECT_EQ(ReadI32(&t[17]), 1234);
    EXPECT_EQ(ReadI32(&t[21]), -5);
}

TEST_F(Shell, ShellStartedSendsClientInfoHandsUsbParamAndForwards) {
    TMsgShell& s = Make();
    s.ClientInfo = "/U:ann /M:FP /H: /E:SID00000000 /C:2052";
    s.UsbInitParam = "user=ann";
    s.OnRecvbuffer(Server(MSG_WINLOGON_SHELL_STARTED, 5, 6).data(), 18);
    ASSERT_EQ(host.sent.size(), 1u);
    const TBytes m = Sent(0, s.ClientInfo.size() + 25);
    EXPECT_EQ(ReadU16(&m[3]), SHELL_CLIENT_INFO);
    EXPECT_EQ(ReadI32(&m[17]), 0);  // Value stays 0
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[21])), s.ClientInfo);
    EXPECT_EQ(usb.params, std::vector<std::string>{"user=ann"});
    EXPECT_EQ(host.events, (std::vector<std::pair<uint16_t, int32_t>>{{MSG_WINLOGON_SHELL_STARTED, 5}}));
}

TEST_F(Shell, EmptyClientInfoStillCallsTheUsbLibrary) {
    TMsgShell& s = Make();
    s.OnRecvbuffer(Server(MSG_WINLOGON_SESSION_RECONNECT, 3).data(), 18);
    EXPECT_TRUE(host.sent.empty());
    EXPECT_EQ(usb.params.size(), 1u);
    EXPECT_EQ(host.events.size(), 1u);
    TMsgShell noUsb(host, desktop, nullptr, policy, {});
    EXPECT_NO_THROW(noUsb.OnRecvbuffer(Server(MSG_WINLOGON_SHELL_STARTED).data(), 18));  // a missing library is skipped
}

TEST_F(Shell, OtherTypesAreSessionEventsAndShortOnesAreDropped) {
    TMsgShell& s = Make();
    s.OnRecvbuffer(Server(0x2000, 42, 7).data(), 18);
    s.OnRecvbuffer(Server(0x2000, 42, 7).data(), 16);
    EXPECT_EQ(host.events, (std::vector<std::pair<uint16_t, int32_t>>{{0x2000, 42}}));
}

TEST_F(Shell, ReconnectPolicyAndCloseNotice) {
    TMsgShell& s = Make();
    TBytes m = Server(SHELL_RECONNECT_POLICY);
    WriteI16(&m[5], 1);
    WriteI16(&m[7], 120);
    s.OnRecvbuffer(m.data(), 18);
    EXPECT_TRUE(policy.enabled);
    EXPECT_EQ(policy.limitSeconds, 120);
    s.OnRecvbuffer(Server(SHELL_CLOSE_NOTICE).data(), 18);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(Shell, TaskbarQueryAnswersPointThenWorkArea) {
    TMsgShell& s = Make({3, false, 0});
    s.OnRecvbuffer(Server(SHELL_QUERY_TASKBAR).data(), 18);
    ASSERT_EQ(host.sent.size(), 2u);
    const TBytes point = Sent(0, 25);
    EXPECT_EQ(ReadU16(&point[3]), SHELL_TRAY_POINT);
    EXPECT_EQ(ReadI32(&point[21]), PackPoint(1400, 1045));
    EXPECT_EQ(ReadU16(&point[21]), 1400);
    EXPECT_EQ(ReadU16(&point[23]), 1045);
    const TBytes work = Sent(1, 25);
    EXPECT_EQ(ReadU16(&work[3]), SHELL_WORK_AREA);
    EXPECT_EQ(ReadI16(&work[17]), 0);
    EXPECT_EQ(ReadI16(&work[21]), 1920);
    EXPECT_EQ(ReadI16(&work[23]), 1050);
    EXPECT_TRUE(host.events.empty());
}

TEST_F(Shell, TrayPointPerEdgeAndFallback) {
    TMsgShell& s = Make();
    desktop.notify = TRect{50, 300, 40, 200};
    desktop.edge = TTaskbarEdge::Left;
    EXPECT_EQ(s.GetTrayPoint(), PackPoint(10, 300));
    desktop.edge = TTaskbarEdge::Top;
    EXPECT_EQ(s.GetTrayPoint(), PackPoint(-50, 10));
    desktop.edge = TTaskbarEdge::Right;
    EXPECT_EQ(s.GetTrayPoint(), PackPoint(-50, 300));
    desktop.notify.reset();
    EXPECT_EQ(s.GetTrayPoint(), PackPoint(1820, 1045));  // bottom right of the work area
}

TEST_F(Shell, WorkAreaOfAMonitorModeIsItsSize) {
    Make({3, false, 2}).OnRecvbuffer(Server(SHELL_QUERY_TASKBAR).data(), 18);
    const TBytes work = Sent(1, 25);
    EXPECT_EQ(ReadI16(&work[17]), 0);
    EXPECT_EQ(ReadI16(&work[19]), 0);
    EXPECT_EQ(ReadI16(&work[21]), 1280);
    EXPECT_EQ(ReadI16(&work[23]), 1024);
}

TEST_F(Shell, TaskbarQueryOutsideSeamlessModeIsIgnored) {
    Make({1, false, 0}).OnRecvbuffer(Server(SHELL_QUERY_TASKBAR).data(), 18);
    EXPECT_TRUE(host.sent.empty());
}

TEST_F(Shell, CaretReachesTheInputMethodWindow) {
    struct Caret : ICaretSink {
        void SetCaret(const TRect& r, uint32_t f) override {
            rect = r;
            flags = f;
        }
        TRect rect;
        uint32_t flags = 0;
    } caret;
    TMsgShell& s = Make();
    TBytes m = Server(SHELL_CARET);
    WriteI16(&m[5], 10);
    WriteI16(&m[7], 20);
    WriteI16(&m[9], 12);
    WriteI16(&m[11], 36);
    WriteU32(&m[13], 0x81);
    s.OnRecvbuffer(m.data(), 18);  // no window yet: ignored
    s.SetCaretSink(&caret);
    s.OnRecvbuffer(m.data(), 18);
    EXPECT_EQ(caret.rect.x, 10);
    EXPECT_EQ(caret.rect.height, 16);
    EXPECT_EQ(caret.flags, 0x81u);
}

}  // namespace
}  // namespace kiv
