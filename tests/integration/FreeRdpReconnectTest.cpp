// Automatic reconnection: a server that handed out its reconnection cookie and
// then loses the line gets the client back without a disconnected event.
#include <gtest/gtest.h>

#include "FreeRdpTestHarness.h"

namespace kiv::test {
namespace {

TEST(FreeRdpReconnect, LostLineReconnectsWithConnectingThenConnected) {
    DemoServerProcess server(Steps({"reconnect-cookie", "echo CSML", "after 300ms drop-once"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.RunUntil([&] { return f.events.Count("connected") >= 2 || f.events.Has("disconnected"); }, 12s));
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "connected", "connecting", "connected"}));
    EXPECT_TRUE(f.control->IsConnected());

    // The channels were closed with the old connection and opened on the new one.
    const TBytes message = PatternBytes(2000, 9);
    f.control->SendOnVirtualChannel("CSML", message);
    ASSERT_TRUE(f.RunUntil([&] { return !f.events.DataOn("CSML").empty(); }, 5s));
    EXPECT_EQ(f.events.DataOn("CSML").front(), message);

    // The server saw a second logon that carried its cookie back.
    const auto logons = server.Events("logon");
    ASSERT_EQ(logons.size(), 2u);
    EXPECT_FALSE(logons[1]["auto_reconnect_logon_id"].is_null());
}

TEST(FreeRdpReconnect, WithoutAutoReconnectTheLostLineEndsTheSession) {
    DemoServerProcess server(Steps({"reconnect-cookie", "after 300ms drop-once"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->AdvancedSettings(TAdvancedSettingsLevel::Level3)->SetEnableAutoReconnect(false);
    f.control->Connect();
    EXPECT_EQ(f.WaitDisconnected(), 2308);
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "connected", "disconnected"}));
}

}  // namespace
}  // namespace kiv::test
