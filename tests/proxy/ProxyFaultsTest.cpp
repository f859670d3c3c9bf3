// Faults around the mapper: a proxy killed mid-transfer, a proxy that never
// answers or cannot be reached, and many connections coming and going without
// leaving descriptors or threads behind.
#include <signal.h>
#include <sys/socket.h>

#include <gtest/gtest.h>
#include <thread>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

TEST(ProxyMapperFaults, AProxyKilledMidTransferEndsTheLocalConnection) {
    TMicrosocksPeer peer;
    std::string why;
    if (!peer.Start(why)) GTEST_SKIP() << "microsocks cannot run here: " << why;
    TTestTargets targets;
    const auto run = StartMapper(ProxySettings(4, peer.port), "127.0.0.1", targets.Transfer());
    TTestClient client(run->port());
    ASSERT_TRUE(client.connected());
    // 'D' and a size of 1 GiB: far more than is read before the proxy dies.
    ASSERT_TRUE(client.Send(std::string("D\x00\x00\x00\x40\x00\x00\x00\x00", 9)));
    const std::string first = client.Read(4u << 20, 10s);
    EXPECT_EQ(first.size(), 4u << 20);
    peer.Kill();
    std::string rest;
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_NE(client.ReadToEnd(rest, 5s), TStreamEnd::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    EXPECT_LT(rest.size(), 1u << 30);
    // The proxy's end reached the client as an end of its input; once the
    // client closes too, nothing of the tunnel is left.
    client.Close();
    EXPECT_TRUE(run->steps.WaitFor("close", 1));
    EXPECT_EQ(run->mapper->OpenTunnelCount(), 0u);
}

TEST(ProxyMapperFaults, AProxyThatNeverAnswersIsGivenUpAfterTheTimeOut) {
    TLogCapture log;
    TSilentListener silent;
    for (const int32_t type : {2, 3, 4}) {
        const auto run = StartMapper(ProxySettings(type, silent.Port()), "127.0.0.1", 3389, 300ms);
        TTestClient client(run->port());
        const auto start = std::chrono::steady_clock::now();
        std::string bytes;
        EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut) << "type " << type;
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, 250ms) << "type " << type;
        EXPECT_LT(waited, 3s) << "type " << type;
        ASSERT_TRUE(run->steps.WaitFor("fail", 1));
        EXPECT_EQ(run->steps.LastFailure(), "the proxy did not answer within 300 ms");
    }
    EXPECT_EQ(log.Lines("[TProxy]").size(), 3u);
    EXPECT_EQ(log.Lines("did not answer within 300 ms").size(), 3u);
}

TEST(ProxyMapperFaults, AnUnreachableProxyClosesTheLocalConnection) {
    TLogCapture log;
    const uint16_t closed = UnusedLoopbackPort();
    const auto run = StartMapper(ProxySettings(2, closed), "127.0.0.1", 3389);
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("close", 1));
    const auto lines = log.Lines("[TProxy]");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[TProxy]connect through 127.0.0.1:" + std::to_string(closed) +
                            " failed: proxy unreachable (Connection refused)"),
              std::string::npos)
        << lines[0];
}

TEST(ProxyMapperFaults, FiveHundredConnectionsLeaveNoDescriptorOrThreadBehind) {
    TTestTargets targets;
    const uint16_t echo = targets.Echo();
    const std::size_t descriptorsBefore = OpenDescriptorCount();
    const std::size_t threadsBefore = ThreadCount();
    {
        const auto run = StartMapper(ProxySettings(0), "127.0.0.1", echo);
        ASSERT_TRUE(EchoesThrough(run->port(), "w"));  // the first tunnel, with whatever is set up once
        ASSERT_TRUE(run->steps.WaitFor("close", 1));
        const std::size_t descriptorsRunning = OpenDescriptorCount();
        const std::size_t threadsRunning = ThreadCount();

        constexpr int kCycles = 500;
        for (int i = 0; i < kCycles; ++i) {
            TTestClient client(run->port());
            ASSERT_TRUE(client.Send("!"));
            ASSERT_EQ(client.Read(1, 5s), "!") << "cycle " << i;
        }
        ASSERT_TRUE(run->steps.WaitFor("close", kCycles + 1));
        EXPECT_EQ(OpenDescriptorCount(), descriptorsRunning);
        EXPECT_EQ(ThreadCount(), threadsRunning);
        EXPECT_EQ(run->mapper->OpenTunnelCount(), 0u);
        EXPECT_EQ(run->steps.Count("open"), static_cast<std::size_t>(kCycles + 1));
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(ProxyMapperFaults, DestroyingTheMapperClosesItsOpenTunnels) {
    TTestTargets targets;
    const std::size_t threadsBefore = ThreadCount();
    auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Echo());
    TTestClient client(run->port());
    ASSERT_TRUE(client.Send("x"));
    ASSERT_EQ(client.Read(1, 5s), "x");
    run.reset();
    std::string bytes;
    EXPECT_EQ(client.ReadToEnd(bytes, 5s), TStreamEnd::Closed);
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

}  // namespace
}  // namespace kiv::test
