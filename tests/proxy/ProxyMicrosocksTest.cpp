// The mapper through microsocks with user and password (SOCKS 5).
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

// microsocks asking for kPeerUser / kPeerPassword.
struct TMicrosocksWithCredentials : TMicrosocksPeer {
    bool Start(std::string& why) { return TMicrosocksPeer::Start(why, kPeerUser, kPeerPassword); }
};

class ProxyMapperMicrosocks : public TOnePeerSuite<TMicrosocksWithCredentials> {};

TEST_F(ProxyMapperMicrosocks, Socks5WithUserAndPassword) {
    const auto run = StartMapper(ProxySettings(4, peer_->port, kPeerUser, kPeerPassword), "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesThrough(run->port(), "through microsocks"));
    EXPECT_EQ(run->steps.Details("send").at(1), std::string("SOCKS 5 user/password for ") + kPeerUser);
}

TEST_F(ProxyMapperMicrosocks, RefusalsOfWrongOrMissingCredentials) {
    const auto wrong = StartMapper(ProxySettings(4, peer_->port, kPeerUser, "wrong"), "127.0.0.1", targets.Echo());
    {
        TTestClient client(wrong->port());
        std::string bytes;
        EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    }
    ASSERT_TRUE(wrong->steps.WaitFor("fail", 1));
    // microsocks ends the connection instead of answering a wrong password.
    EXPECT_FALSE(wrong->steps.LastFailure().empty());

    const auto missing = StartMapper(ProxySettings(4, peer_->port), "127.0.0.1", targets.Echo());
    TTestClient client(missing->port());
    std::string bytes;
    EXPECT_NE(client.ReadToEnd(bytes, 5s), TStreamEnd::TimedOut);
    ASSERT_TRUE(missing->steps.WaitFor("fail", 1));
    EXPECT_EQ(missing->steps.LastFailure(), "SOCKS 5 refused: no acceptable authentication method (0xFF)");
}

TEST_F(ProxyMapperMicrosocks, Transfers64MiBEachWayIntact) {
    const auto run = StartMapper(ProxySettings(4, peer_->port, kPeerUser, kPeerPassword), "127.0.0.1", targets.Transfer());
    EXPECT_TRUE(TransfersIntact(run->port(), 64u << 20));
}

}  // namespace
}  // namespace kiv::test
