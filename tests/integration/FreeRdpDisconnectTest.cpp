// Every way a connection ends, and the classic control's reason numbers the
// control reports for it.
#include <gtest/gtest.h>

#include "FreeRdpTestHarness.h"
#include "support/Loopback.h"

namespace kiv::test {
namespace {

struct ErrorInfoCase {
    uint32_t errorInfo;
    int32_t reason;
};

class FreeRdpServerErrorInfo : public ::testing::TestWithParam<ErrorInfoCase> {};

TEST_P(FreeRdpServerErrorInfo, GivesTheReasonAndTheExtendedReason) {
    const ErrorInfoCase c = GetParam();
    // Half a second into the session: a close that follows activation within a
    // few milliseconds can overtake the error info on its way through the library.
    DemoServerProcess::Options options;
    options.steps = {"after connect 500ms error-info " + std::to_string(c.errorInfo) + " close"};
    DemoServerProcess server(options);
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    EXPECT_EQ(f.WaitDisconnected(), c.reason);
    EXPECT_EQ(f.control->ExtendedDisconnectReason(), static_cast<int32_t>(c.errorInfo));
    EXPECT_EQ(f.events.Count("disconnected"), 1u);
    EXPECT_EQ(f.events.Count("connecting"), 1u);  // a server's error is no reason to reconnect
}

INSTANTIATE_TEST_SUITE_P(Codes, FreeRdpServerErrorInfo,
                         ::testing::Values(ErrorInfoCase{1, 3}, ErrorInfoCase{2, 3}, ErrorInfoCase{3, 3},
                                           ErrorInfoCase{4, 3}, ErrorInfoCase{5, 3}, ErrorInfoCase{6, 3},
                                           ErrorInfoCase{7, 3}, ErrorInfoCase{0xC, 2}, ErrorInfoCase{0x100, 2056},
                                           ErrorInfoCase{0x10A, 2056}, ErrorInfoCase{0x10C9, 3}),
                         [](const auto& info) { return "ErrorInfo" + std::to_string(info.param.errorInfo); });

TEST(FreeRdpDisconnect, DroppedConnectionInALiveSessionIsSocketClosed) {
    // No reconnection cookie from this server: the control does not try again.
    DemoServerProcess server(Steps({"after connect 200ms drop"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    EXPECT_EQ(f.WaitDisconnected(), 2308);
    EXPECT_EQ(f.control->ExtendedDisconnectReason(), 0);
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "connected", "disconnected"}));
}

TEST(FreeRdpDisconnect, RefusedConnectionIsSocketConnectFailure) {
    const int port = UnusedLoopbackPort();
    ASSERT_NE(port, 0);
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", port);
    f.control->Connect();
    EXPECT_EQ(f.WaitDisconnected(), 516);
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "disconnected"}));
}

TEST(FreeRdpDisconnect, NameTheResolverRejectsIsDnsFailure) {
    ControlFixture f;
    // Empty labels are refused by the C library before any resolver is asked.
    f.ConfigureFor("a..b", 3389);
    f.control->Connect();
    EXPECT_EQ(f.WaitDisconnected(), 260);
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "disconnected"}));
}

TEST(FreeRdpDisconnect, SilentServerTimesOutWithinTheConnectTimeout) {
    DemoServerProcess server(Steps({"stall"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f(true, 1500ms);
    f.ConfigureFor("127.0.0.1", server.Port());
    const auto start = std::chrono::steady_clock::now();
    f.control->Connect();
    EXPECT_EQ(f.WaitDisconnected(8s), 264);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 1400ms);
    EXPECT_LT(elapsed, 4500ms);
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "disconnected"}));
    // The worker has ended: letting the control go does not wait for anything.
    const auto before = std::chrono::steady_clock::now();
    f.control.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
}

TEST(FreeRdpDisconnect, DestroyingTheControlWhileTheServerStallsIsPromptAndQuiet) {
    DemoServerProcess server(Steps({"stall"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f(true, 20s);
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(server.WaitForTranscript(
        [](const auto& lines) {
            for (const auto& l : lines)
                if (l.value("event", "") == "connect") return true;
            return false;
        },
        5s));
    const auto before = std::chrono::steady_clock::now();
    f.control.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    // What the worker posted on its way out is dropped, not delivered to a dead control.
    f.loop.RunPending();
    EXPECT_FALSE(f.events.Has("disconnected"));
}

TEST(FreeRdpDisconnect, DisconnectWhileConnectingIsLocal) {
    DemoServerProcess server(Steps({"stall"}));
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f(true, 20s);
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(server.WaitForTranscript(
        [](const auto& lines) {
            for (const auto& l : lines)
                if (l.value("event", "") == "connect") return true;
            return false;
        },
        5s));
    const auto before = std::chrono::steady_clock::now();
    f.control->Disconnect();
    EXPECT_EQ(f.WaitDisconnected(5s), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
}

TEST(FreeRdpDisconnect, TheControlConnectsAgainAfterASessionEnded) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    f.control->Disconnect();
    ASSERT_EQ(f.WaitDisconnected(), 1);
    f.events.events.clear();
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "connected"}));
}

}  // namespace
}  // namespace kiv::test
