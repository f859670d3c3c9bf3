// SOCKS 4A against a peer that writes down what it was asked: the host name
// goes to the proxy unresolved, with the user as the user id.
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

class ProxyMapperSocks4a : public TOnePeerSuite<TTwistedSocks4Peer> {};

TEST_F(ProxyMapperSocks4a, TheHostNameAndUserIdGoToTheProxyAsWritten) {
    const uint16_t echo = targets.Echo();
    const auto run = StartMapper(ProxySettings(3, peer_->port, "alice"), "terminal.example.test", echo);
    EXPECT_TRUE(EchoesThrough(run->port(), "four a"));
    const std::string record = peer_->Record();
    EXPECT_NE(record.find("name\tterminal.example.test\n"), std::string::npos) << record;
    EXPECT_NE(record.find("user\talice\t127.0.0.1\t" + std::to_string(echo) + "\n"), std::string::npos) << record;
}

TEST_F(ProxyMapperSocks4a, WithoutAUserItIsPlainSocks4WithTheAddress) {
    const uint16_t echo = targets.Echo();
    const auto run = StartMapper(ProxySettings(3, peer_->port), "127.0.0.1", echo);
    EXPECT_TRUE(EchoesThrough(run->port(), "four"));
    EXPECT_NE(peer_->Record().find("user\t\t127.0.0.1\t" + std::to_string(echo) + "\n"), std::string::npos)
        << peer_->Record();
}

TEST_F(ProxyMapperSocks4a, ARefusedUserIdClosesTheLocalConnection) {
    const auto run = StartMapper(ProxySettings(3, peer_->port, "deny"), "terminal.example.test", targets.Echo());
    TTestClient client(run->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(run->steps.WaitFor("fail", 1));
    EXPECT_EQ(run->steps.LastFailure(), "SOCKS 4 refused: request rejected or failed (0x5B)");
}

}  // namespace
}  // namespace kiv::test
