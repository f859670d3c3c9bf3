// The built-in server shell through the real binary, with a FreeRDP client in
// the test playing the client's side of the shell and seamless families.
#include <gtest/gtest.h>

#include "DemoServerProcess.h"
#include "TestRdpClient.h"
#include "channels/ByteOrder.h"
#include "channels/SmlWindowMsg.h"
#include "session/SessionEvents.h"
#include "support/TempDir.h"
#include "tools/demo-server/ServerDesktop.h"

namespace kiv::demo::test {
namespace {

using kiv::test::TempDir;

TBytes ClientShell(std::uint16_t type, const std::string& name = "", const std::string& text = "") {
    TBytes m(std::max<std::size_t>(25, 22 + text.size()), 0);
    m[0] = 0x5A, m[1] = 0x2E, m[2] = 0x07;
    WriteU16(m.data() + 3, type);
    std::copy(name.begin(), name.end(), m.begin() + 5);
    WriteI32(m.data() + 17, static_cast<std::int32_t>(text.size()));
    std::copy(text.begin(), text.end(), m.begin() + 21);
    return m;
}

// The next shell event on CSML as (type, Param1); (0, 0) when none came.
std::pair<std::uint16_t, std::int32_t> NextEvent(TTestRdpClient& client) {
    const auto message = client.WaitMessage("CSML");
    if (!message || message->size() != 18 || (*message)[0] != 0x5A) return {0, 0};
    return {ReadU16(message->data() + 3), ReadI32(message->data() + 5)};
}

class DemoShellSession : public ::testing::Test {
protected:
    TTestClientOptions ClientOptions(int port) {
        TTestClientOptions options;
        options.port = port;
        options.configDir = dir.path() / "client";
        options.width = 800;
        options.height = 600;
        return options;
    }
    using TEvent = std::pair<std::uint16_t, std::int32_t>;
    TempDir dir;
};

TEST_F(DemoShellSession, GreetsStartsAnApplicationInAPaintedWindowAndLogsOff) {
    TDemoServerProcess server(dir.path() / "server", {"--session-number", "12"});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitChannelOpen("CSML"));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_AUTH_RESULT, 0}));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_LOGON_OK, 12}));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_SHELL_LOADING, 12}));
    ASSERT_TRUE(client.Send("CSML", ClientShell(0x0040, "APP0001", "home\\Desktop|home\\Documents")));
    ASSERT_TRUE(client.Send("CSML", ClientShell(0x0041)));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_SHELL_STARTED, 0}));

    ASSERT_TRUE(client.Send("CSML", ClientShell(0x0004, "APP0001")));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_APP_LOADED, 0}));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_APP_READY, 0}));
    const auto create = client.WaitMessage("CSML");
    ASSERT_TRUE(create.has_value());
    const auto parts = SplitSmlWindowMsg(create->data(), static_cast<std::int32_t>(create->size()));
    ASSERT_TRUE(parts.has_value());
    const TSmlWindowMsg& h = parts->header;
    EXPECT_EQ(Utf16ToUtf8(ReadSmlTitle(parts->title)), "APP0001 - demo");
    // The window's pixels are on the desktop: body, title bar, the desktop beside it.
    EXPECT_EQ(client.WaitPixel(h.Left + 100, h.Bottom - 20, kWindowBodyColour), kWindowBodyColour);
    EXPECT_EQ(client.WaitPixel(h.Right - 60, h.Top + 3, 0x2F6FB0), 0x2F6FB0u);
    EXPECT_EQ(client.WaitPixel(h.Right + 5, h.Top + 40, kDemoDesktopColor), kDemoDesktopColor);
    const auto windows = server.WaitEvents("window");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0]["action"], "create");
    EXPECT_EQ(windows[0]["handle"], h.ServerHandle);

    ASSERT_TRUE(client.Send("CSML", ClientShell(0x0008)));
    EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_SESSION_LOGOFF, 0}));
    EXPECT_TRUE(client.WaitDisconnected());
    const auto gone = server.WaitEvents("disconnect");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["reason"], "close");
}

TEST_F(DemoShellSession, ALogonErrorEndsTheRoadAndNoShellSaysNothing) {
    {
        TDemoServerProcess server(dir.path() / "server", {"--logon-error-at", "shell-loading"});
        TTestRdpClient client(ClientOptions(server.port()));
        ASSERT_TRUE(client.Connect());
        EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_AUTH_RESULT, 0}));
        EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_LOGON_OK, 7}));
        EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_SHELL_LOADING, 7}));
        EXPECT_EQ(NextEvent(client), (TEvent{MSG_WINLOGON_LOGON_ERROR, 0x4000}));
        ASSERT_TRUE(client.Send("CSML", ClientShell(0x0040)));
        ASSERT_TRUE(client.Send("CSML", ClientShell(0x0041)));
        EXPECT_FALSE(client.WaitMessage("CSML", 300).has_value());
    }
    TDemoServerProcess server(dir.path() / "quiet", {"--no-shell"});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitChannelOpen("CSML"));
    EXPECT_FALSE(client.WaitMessage("CSML", 500).has_value());
    EXPECT_TRUE(server.Events("send").empty());
}

}  // namespace
}  // namespace kiv::demo::test
