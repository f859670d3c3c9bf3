// Channel messages between the control and the demo server, byte for byte, in
// both directions, including messages the transport has to cut into chunks.
#include <gtest/gtest.h>

#include "FreeRdpTestHarness.h"

namespace kiv::test {
namespace {

std::vector<std::string> ReceivedHex(const DemoServerProcess& server, const std::string& channel) {
    std::vector<std::string> hex;
    for (const auto& event : server.Events("recv"))
        if (event.value("channel", "") == channel) hex.push_back(event.value("hex", ""));
    return hex;
}

TEST(FreeRdpChannels, MessagesReachTheServerByteExact) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->SendOnVirtualChannel("CSML", TBytes{9, 9, 9});  // before connecting: dropped
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());

    const TBytes small = PatternBytes(26, 1);
    const TBytes large = PatternBytes(4000, 2);  // more than two transport chunks
    const TBytes folder = PatternBytes(1601, 3);
    f.control->SendOnVirtualChannel("CSML", small);
    f.control->SendOnVirtualChannel("CSML", large);
    f.control->SendOnVirtualChannel("CSMT", folder);
    f.control->SendOnVirtualChannel("NOPE", small);  // not a created channel: dropped

    ASSERT_TRUE(server.WaitForTranscript(
        [](const auto& lines) {
            int n = 0;
            for (const auto& l : lines) n += l.value("event", "") == "recv";
            return n >= 3;
        },
        5s));
    EXPECT_EQ(ReceivedHex(server, "CSML"), (std::vector<std::string>{ToHex(small), ToHex(large)}));
    EXPECT_EQ(ReceivedHex(server, "CSMT"), (std::vector<std::string>{ToHex(folder)}));
    EXPECT_TRUE(ReceivedHex(server, "CSMP").empty());
}

TEST(FreeRdpChannels, EchoedMessagesComeBackWholeAndUnchanged) {
    DemoServerProcess server(Steps({"echo CSML", "echo CSMT"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());

    // Input from the GUI thread while the worker runs the session must leave it intact.
    f.control->SendMouseEvent(0x0800, 100, 100);
    f.control->SendKeyEvent(38, true);
    f.control->SendKeyEvent(38, false);
    f.control->SendKeyEvent(100000, true);  // not a key: ignored
    f.control->SendUnicodeKey(0x4E2D, true);
    f.control->SendUnicodeKey(0x4E2D, false);

    const TBytes small = PatternBytes(26, 4);
    const TBytes large = PatternBytes(4000, 5);
    const TBytes folder = PatternBytes(3333, 6);
    f.control->SendOnVirtualChannel("CSML", small);
    f.control->SendOnVirtualChannel("CSML", large);
    f.control->SendOnVirtualChannel("CSMT", folder);
    ASSERT_TRUE(f.RunUntil([&] { return f.events.DataOn("CSML").size() >= 2 && !f.events.DataOn("CSMT").empty(); },
                           8s));
    EXPECT_EQ(f.events.DataOn("CSML"), (std::vector<TBytes>{small, large}));
    EXPECT_EQ(f.events.DataOn("CSMT"), (std::vector<TBytes>{folder}));
    EXPECT_TRUE(f.control->IsConnected());
    EXPECT_FALSE(f.events.Has("disconnected"));
}

TEST(FreeRdpChannels, ServerMessagesArriveOnTheirChannel) {
    const TBytes shell = PatternBytes(26, 7);
    const TBytes tray = PatternBytes(4000, 8);
    DemoServerProcess server(Steps({"after connect send CSML " + ToHex(shell), "after connect 50ms send CSMP " + ToHex(tray)}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.RunUntil([&] { return !f.events.DataOn("CSML").empty() && !f.events.DataOn("CSMP").empty(); },
                           10s));
    EXPECT_EQ(f.events.DataOn("CSML"), (std::vector<TBytes>{shell}));
    EXPECT_EQ(f.events.DataOn("CSMP"), (std::vector<TBytes>{tray}));
    // Channel data comes only once the control has reported the connection.
    std::size_t connectedAt = 0, firstData = 0;
    for (std::size_t i = 0; i < f.events.events.size(); ++i) {
        if (f.events.events[i].kind == "connected" && connectedAt == 0) connectedAt = i + 1;
        if (f.events.events[i].kind == "data" && firstData == 0) firstData = i + 1;
    }
    EXPECT_GT(connectedAt, 0u);
    EXPECT_GT(firstData, connectedAt);
}

}  // namespace
}  // namespace kiv::test
