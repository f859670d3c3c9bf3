// The mapper without a proxy (type 0): the listener, the relay in both
// directions, half-closes, the ends of either side, several connections.
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "proxy/SystemProxy.h"
#include "support/TempDir.h"

namespace kiv::test {
namespace {

const std::string kUnresolvableName = std::string(70, 'x') + ".invalid";  // a label the C library rejects

class ProxyMapperDirect : public ::testing::Test {
protected:
    TTestTargets targets;
};

TEST_F(ProxyMapperDirect, ListensOnTheLoopbackAddressOnlyAndRelays) {
    const uint16_t echo = targets.Echo();
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", echo);
    ASSERT_GE(run->port(), 5890);
    EXPECT_EQ(ListeningAddresses(run->port()), std::vector<std::string>{"0100007F"});
    EXPECT_TRUE(EchoesThrough(run->port(), "hello through the mapper"));
    EXPECT_EQ(run->steps.Details("open"), std::vector<std::string>{"direct to 127.0.0.1:" + std::to_string(echo)});
}

TEST_F(ProxyMapperDirect, TheTargetsFirstBytesArriveUnchanged) {
    const std::string greeting("\x03\x00\x00\x0b\x06\xd0\x00\x00\x12\x34\x00", 11);
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Greeter(greeting));
    TTestClient client(run->port());
    EXPECT_EQ(client.Read(greeting.size(), 5s), greeting);
}

TEST_F(ProxyMapperDirect, AHalfClosePassesThroughBothWays) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.AnswerAtEnd());
    TTestClient client(run->port());
    ASSERT_TRUE(client.Send("abcde"));
    client.ShutdownSend();  // the target answers only once it sees the end
    std::string answer;
    EXPECT_EQ(client.ReadToEnd(answer, 5s), TStreamEnd::Closed);
    EXPECT_EQ(answer, "got 5 bytes");
}

TEST_F(ProxyMapperDirect, TheTargetClosingEndsTheLocalConnection) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.SendAndClose("bye"));
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_EQ(client.ReadToEnd(bytes, 5s), TStreamEnd::Closed);
    EXPECT_EQ(bytes, "bye");
    client.Close();
    EXPECT_TRUE(run->steps.WaitFor("close", 1));
}

TEST_F(ProxyMapperDirect, ARefusedTargetClosesTheLocalConnectionWithOneLogLine) {
    TLogCapture log;
    const uint16_t closedPort = UnusedLoopbackPort();
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", closedPort);
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("close", 1));
    const auto lines = log.Lines("[TProxy]connect");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[TProxy]connect to 127.0.0.1:" + std::to_string(closedPort) + " failed: "),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find("refused"), std::string::npos) << lines[0];
}

TEST_F(ProxyMapperDirect, ANameThatCannotBeLookedUpClosesTheLocalConnection) {
    const auto run = StartMapper(ProxySettings(0), kUnresolvableName, 3389);
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("fail", 1));
    EXPECT_NE(run->steps.LastFailure().find("cannot look up"), std::string::npos) << run->steps.LastFailure();
}

TEST_F(ProxyMapperDirect, Type1WithoutASystemProxyGoesDirect) {
    std::vector<std::unique_ptr<ScopedEnv>> environment;
    for (const char* name : kProxyEnvironmentNames) environment.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
    const auto run = StartMapper(ProxySettings(1, 3128, "u", "p"), "127.0.0.1", targets.Echo());
    EXPECT_EQ(run->mapper->ProxySettings().ProxyType, 0);
    EXPECT_TRUE(run->mapper->ProxySettings().ProxyServer.empty());
    EXPECT_TRUE(EchoesThrough(run->port(), "no system proxy"));
}

TEST_F(ProxyMapperDirect, SettingsThatCannotMakeATunnelCloseTheLocalConnection) {
    TLogCapture log;
    const auto run = StartMapper(ProxySettings(7, 3128), "127.0.0.1", targets.Echo());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("close", 1));
    EXPECT_EQ(run->steps.LastFailure(), "unknown proxy type 7");
    EXPECT_EQ(run->steps.Count("connect"), 0u);  // nothing goes out past the proxy that was asked for
    EXPECT_EQ(log.Lines("[TProxy]").size(), 1u);
}

TEST_F(ProxyMapperDirect, EveryLocalConnectionHasItsOwnOutgoingConnection) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Echo());
    // A reconnection overlaps the old connection: both must stay apart.
    TTestClient first(run->port());
    TTestClient second(run->port());
    TTestClient third(run->port());
    ASSERT_TRUE(first.Send("one-"));
    ASSERT_TRUE(second.Send("two--"));
    ASSERT_TRUE(third.Send("three---"));
    EXPECT_EQ(third.Read(8, 5s), "three---");
    EXPECT_EQ(first.Read(4, 5s), "one-");
    first.Close();
    ASSERT_TRUE(second.Send("again"));
    EXPECT_EQ(second.Read(10, 5s), "two--again");
    EXPECT_EQ(run->steps.Count("open"), 3u);
}

TEST_F(ProxyMapperDirect, StoppingClosesTheTunnelsAndTheListener) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Echo());
    const uint16_t port = run->port();
    TTestClient client(port);
    ASSERT_TRUE(client.Send("x"));
    ASSERT_EQ(client.Read(1, 5s), "x");
    run->mapper->SetActive(false);
    std::string bytes;
    EXPECT_EQ(client.ReadToEnd(bytes, 5s), TStreamEnd::Closed);
    EXPECT_TRUE(ListeningAddresses(port).empty());
    TTestClient refused(port);
    EXPECT_FALSE(refused.connected());

    run->mapper->SetActive(true);  // a start after a stop listens again
    EXPECT_TRUE(EchoesThrough(run->port(), "back again"));
}

TEST_F(ProxyMapperDirect, Transfers64MiBEachWayIntact) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Transfer());
    EXPECT_TRUE(TransfersIntact(run->port(), 64u << 20));
}

TEST_F(ProxyMapperDirect, Echoes64MiBAtFullDuplexIntact) {
    const auto run = StartMapper(ProxySettings(0), "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesIntactAtFullDuplex(run->port(), 64u << 20));
}

}  // namespace
}  // namespace kiv::test
