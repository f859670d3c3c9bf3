// The mapper through squid: an open port, and a port that wants basic
// credentials (407 with keep-alive and a body, then the retry on the same
// connection).
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"
#include "proxy/SystemProxy.h"

namespace kiv::test {
namespace {

class ProxyMapperSquid : public TOnePeerSuite<TSquidPeer> {};

TEST_F(ProxyMapperSquid, TunnelsThroughTheOpenPort) {
    const uint16_t echo = targets.Echo();
    const auto run = StartMapper(ProxySettings(2, peer_->openPort), "127.0.0.1", echo);
    EXPECT_TRUE(EchoesThrough(run->port(), "via squid"));
    EXPECT_EQ(run->steps.Details("send"),
              std::vector<std::string>{"CONNECT 127.0.0.1:" + std::to_string(echo) + " HTTP/1.1"});
    EXPECT_EQ(run->steps.Details("receive"), std::vector<std::string>{"HTTP/1.1 200 Connection established, keep-alive"});
}

TEST_F(ProxyMapperSquid, A407IsReadThroughItsBodyAndRetriedOnTheSameConnection) {
    const auto run = StartMapper(ProxySettings(2, peer_->authPort, kPeerUser, kPeerPassword), "127.0.0.1",
                                 targets.Echo());
    EXPECT_TRUE(EchoesThrough(run->port(), "authorized")) << run->steps.Text();
    const auto sent = run->steps.Details("send");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NE(sent[1].find("Proxy-authorization"), std::string::npos);
    const auto received = run->steps.Details("receive");
    ASSERT_EQ(received.size(), 2u);
    EXPECT_NE(received[0].find("407"), std::string::npos);
    EXPECT_NE(received[0].find("keep-alive"), std::string::npos);
    EXPECT_NE(received[1].find("200"), std::string::npos);
    EXPECT_EQ(run->steps.Count("connect"), 1u);
    EXPECT_EQ(run->steps.Count("reconnect"), 0u);
}

TEST_F(ProxyMapperSquid, AWrongPasswordFailsAfterOneRetryWithOneLogLine) {
    TLogCapture log;
    const auto run = StartMapper(ProxySettings(2, peer_->authPort, kPeerUser, "wrong"), "127.0.0.1", targets.Echo());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    EXPECT_EQ(bytes, "");
    ASSERT_TRUE(run->steps.WaitFor("close", 1));
    EXPECT_EQ(run->steps.Count("send"), 2u);
    const auto lines = log.Lines("[TProxy]");
    ASSERT_EQ(lines.size(), 1u);
    const std::string expected =
        "[TProxy]connect through 127.0.0.1:" + std::to_string(peer_->authPort) + " failed: HTTP 407 twice\r";
    ASSERT_GE(lines[0].size(), expected.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - expected.size()), expected) << lines[0];
}

TEST_F(ProxyMapperSquid, WithoutCredentialsA407FailsAtOnce) {
    const auto run = StartMapper(ProxySettings(2, peer_->authPort), "127.0.0.1", targets.Echo());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("fail", 1));
    EXPECT_NE(run->steps.LastFailure().find("407"), std::string::npos);
    EXPECT_EQ(run->steps.Count("send"), 1u);
}

TEST_F(ProxyMapperSquid, AClosedTargetPortIsSquids503) {
    const auto run = StartMapper(ProxySettings(2, peer_->openPort), "127.0.0.1", UnusedLoopbackPort());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("fail", 1));
    EXPECT_EQ(run->steps.LastFailure(), "HTTP 503 Service Unavailable");
}

TEST_F(ProxyMapperSquid, TheTargetClosingEndsTheLocalConnection) {
    const auto run = StartMapper(ProxySettings(2, peer_->openPort), "127.0.0.1", targets.SendAndClose("bye"));
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_EQ(client.ReadToEnd(bytes, 5s), TStreamEnd::Closed);
    EXPECT_EQ(bytes, "bye");
}

TEST_F(ProxyMapperSquid, SeveralConnectionsAtOnceStayApart) {
    const auto run = StartMapper(ProxySettings(2, peer_->authPort, kPeerUser, kPeerPassword), "127.0.0.1",
                                 targets.Echo());
    TTestClient first(run->port());
    TTestClient second(run->port());
    ASSERT_TRUE(second.Send("second"));
    ASSERT_TRUE(first.Send("first"));
    EXPECT_EQ(first.Read(5, 5s), "first");
    EXPECT_EQ(second.Read(6, 5s), "second");
    EXPECT_EQ(run->steps.Count("open"), 2u);
}

TEST_F(ProxyMapperSquid, TheSystemProxyOfTheEnvironmentIsUsedForType1) {
    std::vector<std::unique_ptr<ScopedEnv>> environment;
    for (const char* name : kProxyEnvironmentNames) environment.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
    environment.push_back(
        std::make_unique<ScopedEnv>("https_proxy", "http://127.0.0.1:" + std::to_string(peer_->openPort) + "/"));
    const auto run = StartMapper(ProxySettings(1, 1, "farm-user", "farm-password"), "127.0.0.1", targets.Echo());
    const TProxySet resolved = run->mapper->ProxySettings();
    EXPECT_EQ(resolved.ProxyType, 2);
    EXPECT_EQ(resolved.ProxyServer, "127.0.0.1");
    EXPECT_EQ(resolved.ProxyPort, peer_->openPort);
    EXPECT_TRUE(resolved.ProxyUser.empty());
    EXPECT_TRUE(EchoesThrough(run->port(), "system proxy")) << run->steps.Text();
    EXPECT_EQ(run->steps.Details("connect"), std::vector<std::string>{"127.0.0.1:" + std::to_string(peer_->openPort)});
}

TEST_F(ProxyMapperSquid, Transfers64MiBEachWayIntact) {
    const auto run = StartMapper(ProxySettings(2, peer_->authPort, kPeerUser, kPeerPassword), "127.0.0.1",
                                 targets.Transfer());
    EXPECT_TRUE(TransfersIntact(run->port(), 64u << 20));
}

}  // namespace
}  // namespace kiv::test
