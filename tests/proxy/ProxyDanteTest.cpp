// The mapper through dante: SOCKS 4, SOCKS 5 without and with the user name
// method (a throwaway system account), refusals with their codes, half-closes.
#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

class ProxyMapperDante : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        open_ = new TDantePeer(false);
        if (!open_->Start(openWhy_)) {
            delete open_;
            open_ = nullptr;
        }
        account_ = new TSystemAccount;
        if (account_->Create(authWhy_)) {
            auth_ = new TDantePeer(true);
            if (!auth_->Start(authWhy_)) {
                delete auth_;
                auth_ = nullptr;
            }
        }
    }
    static void TearDownTestSuite() {
        delete open_;
        delete auth_;
        delete account_;
        open_ = auth_ = nullptr;
        account_ = nullptr;
    }
    void SetUp() override {
        if (open_ == nullptr) GTEST_SKIP() << "dante cannot run here: " << openWhy_;
    }
    void NeedAuth() {
        if (auth_ == nullptr) GTEST_SKIP() << "dante with the user name method cannot run here: " << authWhy_;
    }

    static TDantePeer* open_;
    static TDantePeer* auth_;
    static TSystemAccount* account_;
    static std::string openWhy_;
    static std::string authWhy_;
    TTestTargets targets;
};

TDantePeer* ProxyMapperDante::open_ = nullptr;
TDantePeer* ProxyMapperDante::auth_ = nullptr;
TSystemAccount* ProxyMapperDante::account_ = nullptr;
std::string ProxyMapperDante::openWhy_;
std::string ProxyMapperDante::authWhy_;

std::string ReadFailure(TMapperRun& run) {
    TTestClient client(run.port());
    std::string bytes;
    if (client.ReadToEnd(bytes, 5s) == TStreamEnd::TimedOut) return "the local connection stayed open";
    if (!run.steps.WaitFor("fail", 1)) return "no failure reported";
    return run.steps.LastFailure();
}

TEST_F(ProxyMapperDante, Socks4) {
    const auto run = StartMapper(ProxySettings(3, open_->port), "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesThrough(run->port(), "socks four"));
    EXPECT_NE(run->steps.Details("receive").at(0).find("0x5A"), std::string::npos);
}

TEST_F(ProxyMapperDante, Socks4LooksUpANamedTargetItself) {
    const uint16_t echo = targets.Echo();
    const auto run = StartMapper(ProxySettings(3, open_->port), "localhost", echo);
    EXPECT_TRUE(EchoesThrough(run->port(), "named"));
    EXPECT_EQ(run->steps.Details("send"), std::vector<std::string>{"SOCKS 4 CONNECT 127.0.0.1:" + std::to_string(echo)});
}

TEST_F(ProxyMapperDante, Socks5WithoutAuthentication) {
    const auto run = StartMapper(ProxySettings(4, open_->port), "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesThrough(run->port(), "socks five"));
    EXPECT_NE(run->steps.Details("receive").at(0).find("method 0x00"), std::string::npos);
}

TEST_F(ProxyMapperDante, Socks5WithUserAndPassword) {
    NeedAuth();
    const auto run = StartMapper(ProxySettings(4, auth_->port, TSystemAccount::kName, TSystemAccount::kPassword),
                                 "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesThrough(run->port(), "authenticated"));
    const auto received = run->steps.Details("receive");
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1], "SOCKS 5 user/password accepted");
}

TEST_F(ProxyMapperDante, Socks5WrongPassword) {
    NeedAuth();
    const auto run = StartMapper(ProxySettings(4, auth_->port, TSystemAccount::kName, "wrong"), "127.0.0.1",
                                 targets.Echo());
    EXPECT_NE(ReadFailure(*run).find("user name or password rejected"), std::string::npos) << run->steps.LastFailure();
}

TEST_F(ProxyMapperDante, Socks5WithoutTheCredentialsItWants) {
    NeedAuth();
    const auto run = StartMapper(ProxySettings(4, auth_->port), "127.0.0.1", targets.Echo());
    EXPECT_NE(ReadFailure(*run).find("no acceptable authentication method"), std::string::npos)
        << run->steps.LastFailure();
}

TEST_F(ProxyMapperDante, RefusalCodesOfAClosedTarget) {
    TLogCapture log;
    const uint16_t closed = UnusedLoopbackPort();
    const auto five = StartMapper(ProxySettings(4, open_->port), "127.0.0.1", closed);
    EXPECT_EQ(ReadFailure(*five), "SOCKS 5 refused: connection refused (5)");
    const auto four = StartMapper(ProxySettings(3, open_->port), "127.0.0.1", closed);
    EXPECT_EQ(ReadFailure(*four), "SOCKS 4 refused: request rejected or failed (0x5B)");
    const auto lines = log.Lines("[TProxy]");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("connect through 127.0.0.1:" + std::to_string(open_->port) + " failed: SOCKS 5 refused"),
              std::string::npos)
        << lines[0];
}

TEST_F(ProxyMapperDante, AHalfClosePassesThrough) {
    const auto run = StartMapper(ProxySettings(4, open_->port), "127.0.0.1", targets.AnswerAtEnd());
    TTestClient client(run->port());
    ASSERT_TRUE(client.Send("0123456789"));
    client.ShutdownSend();
    std::string answer;
    EXPECT_EQ(client.ReadToEnd(answer, 5s), TStreamEnd::Closed);
    EXPECT_EQ(answer, "got 10 bytes");
}

TEST_F(ProxyMapperDante, Transfers64MiBEachWayIntact) {
    const auto run = StartMapper(ProxySettings(4, open_->port), "127.0.0.1", targets.Transfer());
    EXPECT_TRUE(TransfersIntact(run->port(), 64u << 20));
}

TEST_F(ProxyMapperDante, Echoes64MiBAtFullDuplexIntact) {
    const auto run = StartMapper(ProxySettings(4, open_->port), "127.0.0.1", targets.Echo());
    EXPECT_TRUE(EchoesIntactAtFullDuplex(run->port(), 64u << 20));
}

}  // namespace
}  // namespace kiv::test
