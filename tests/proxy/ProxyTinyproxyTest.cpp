// The mapper through tinyproxy: its 407 is HTTP/1.0 with "Connection: close",
// so the retry with credentials needs a new connection; a wrong password is 401.
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

class ProxyMapperTinyproxy : public TOnePeerSuite<TTinyproxyPeer> {};

TEST_F(ProxyMapperTinyproxy, AClosing407IsRetriedOnANewConnection) {
    const std::string greeting = "target speaks first";
    const auto run = StartMapper(ProxySettings(2, peer_->port, kPeerUser, kPeerPassword), "127.0.0.1",
                                 targets.Greeter(greeting));
    TTestClient client(run->port());
    // The success answer carries a header line; none of it may reach the client.
    EXPECT_EQ(client.Read(greeting.size(), 5s), greeting);
    EXPECT_EQ(run->steps.Count("reconnect"), 1u);
    EXPECT_EQ(run->steps.Count("connect"), 2u);
    const auto received = run->steps.Details("receive");
    ASSERT_EQ(received.size(), 2u);
    EXPECT_NE(received[0].find("HTTP/1.0 407"), std::string::npos);
    EXPECT_NE(received[0].find(", close"), std::string::npos);
    ASSERT_TRUE(client.Send("and echoes"));
    EXPECT_EQ(client.Read(10, 5s), "and echoes");
}

TEST_F(ProxyMapperTinyproxy, AWrongPasswordIs401) {
    TLogCapture log;
    const auto run = StartMapper(ProxySettings(2, peer_->port, kPeerUser, "wrong"), "127.0.0.1", targets.Echo());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("close", 1));
    EXPECT_EQ(run->steps.LastFailure(), "HTTP 401 Unauthorized");
    const auto lines = log.Lines("[TProxy]");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("failed: HTTP 401 Unauthorized"), std::string::npos) << lines[0];
}

TEST_F(ProxyMapperTinyproxy, AClosedTargetPortIs500) {
    const auto run = StartMapper(ProxySettings(2, peer_->port, kPeerUser, kPeerPassword), "127.0.0.1",
                                 UnusedLoopbackPort());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("fail", 1));
    EXPECT_NE(run->steps.LastFailure().find("HTTP 500"), std::string::npos) << run->steps.LastFailure();
}

TEST_F(ProxyMapperTinyproxy, Transfers64MiBEachWayIntact) {
    const auto run = StartMapper(ProxySettings(2, peer_->port, kPeerUser, kPeerPassword), "127.0.0.1", targets.Transfer());
    EXPECT_TRUE(TransfersIntact(run->port(), 64u << 20));
}

}  // namespace
}  // namespace kiv::test
