// The portal fetch against real servers and a real proxy on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "infra/DebugLog.h"
#include "launch/PortalFetch.h"
#include "support/Loopback.h"
#include "support/PortalServer.h"
#include "support/ProxyPeers.h"
#include "support/SilentListener.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

using test::TClosedPort;
using test::TPortalServer;
using test::TSilentListener;
using test::TSquidPeer;
using test::TTestCertificate;

const TClientIdentity kPc17{"PC-17", "A1234ABCD", "192.168.1.20"};
constexpr char kIdentityQuery[] = "&Computer=PC-17&Finger=A1234ABCD&IP=192.168.1.20";
constexpr char kAnswer[] = "[RESULT]\r\nresult=0\r\nMsgID=0\n[Server]\rServer_Address=10.0.0.5:3390\r\n";
const std::vector<std::string> kAnswerLines = {"[RESULT]", "result=0", "MsgID=0", "[Server]",
                                               "Server_Address=10.0.0.5:3390"};

std::string Local(int port) { return "127.0.0.1:" + std::to_string(port); }

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every test starts with no farm and no proxy in the environment; farms are
// written into a private per-user folder.
class PortalFetch : public ::testing::Test {
protected:
    PortalFetch() {
        env_.push_back(std::make_unique<test::ScopedEnv>("XDG_CONFIG_HOME", config_.path().string()));
        for (const char* name :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            env_.push_back(std::make_unique<test::ScopedEnv>(name, std::nullopt));
    }
    ~PortalFetch() override {
        // Latest first, so every variable gets back the value it had before the test.
        while (!env_.empty()) env_.pop_back();
    }

    void SetEnv(const char* name, const std::string& value) {
        env_.push_back(std::make_unique<test::ScopedEnv>(name, value));
    }

    // A farm for the portal at 127.0.0.1:port with the given [ProxySet] lines.
    void WriteFarm(int portalPort, const std::string& proxySet) {
        config_.Write("VYNClient6.0/Farms.ini", "[Farms]\r\nFarmList=portal\r\n");
        config_.Write("VYNClient6.0/portal/Farm.ini", "[Farm]\r\nFarmHost=127.0.0.1\r\nFarmPort=" +
                                                          std::to_string(portalPort) + "\r\n[ProxySet]\r\n" + proxySet);
    }

    bool Fetch(const std::string& address, const TPortalFetchOptions& options = {}) {
        return GetKivFromServer(address, lines_, kPc17, options);
    }

    static void SetUpTestSuite() {
        certFolder_ = new test::TempDir;
        if (auto made = test::MakeSelfSignedCertificate(certFolder_->path())) cert_ = new TTestCertificate(*made);
    }
    static void TearDownTestSuite() {
        delete cert_;
        cert_ = nullptr;
        delete certFolder_;
        certFolder_ = nullptr;
    }

    TPortalFetchOptions TrustingTestCa() const {
        TPortalFetchOptions options;
        options.caFile = cert_->certFile.string();
        return options;
    }

    test::TempDir config_;
    std::vector<std::unique_ptr<test::ScopedEnv>> env_;
    std::vector<std::string> lines_ = {"left", "over"};
    static inline test::TempDir* certFolder_ = nullptr;
    static inline TTestCertificate* cert_ = nullptr;
};

TEST_F(PortalFetch, PlainHttpWithoutSchemeSendsTheLibraryAgentAndTheIdentity) {
    TPortalServer portal(kAnswer);
    ASSERT_TRUE(portal.Running());
    ASSERT_TRUE(Fetch(Local(portal.Port()) + "/kiv/get.aspx?x=1"));
    EXPECT_EQ(lines_, kAnswerLines);
    const auto requests = portal.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], std::string("/kiv/get.aspx?x=1") + kIdentityQuery);
    EXPECT_EQ(requests[0]["headers"]["user-agent"], "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_FALSE(requests[0]["headers"].contains("via"));
}

TEST_F(PortalFetch, MainSwitchLogsTheCompleteAddress) {
    test::TempDir logFolder;
    const auto previousLog = LogFilePath();
    const bool previousSwitch = DebugSwitches[dmMain];
    SetLogFilePath(logFolder.path() / "KivClient.log");
    DebugSwitches[dmMain] = true;
    TClosedPort closed;
    Fetch("http://" + Local(closed.Port()) + "/kiv?x=1");
    DebugSwitches[dmMain] = previousSwitch;
    SetLogFilePath(previousLog);
    const std::string log = test::ReadFileBytes(logFolder.path() / "KivClient.log");
    EXPECT_NE(log.find(" GetKivFromServer:http://" + Local(closed.Port()) + "/kiv?x=1" + kIdentityQuery + "\r\n"),
              std::string::npos)
        << log;
}

TEST_F(PortalFetch, StatusOtherThanSuccessIsAnErrorWithTheStatusLine) {
    TPortalServer portal(kAnswer);
    ASSERT_TRUE(portal.Running());
    EXPECT_FALSE(Fetch("http://" + Local(portal.Port()) + "/missing?x=1"));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("404"), std::string::npos) << lines_[0];
    EXPECT_EQ(lines_[0].rfind("HTTP/", 0), 0u) << lines_[0];

    // Redirects are not followed: the client takes only the page it asked for.
    EXPECT_FALSE(Fetch("http://" + Local(portal.Port()) + "/moved?x=1"));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("302"), std::string::npos) << lines_[0];
    EXPECT_EQ(portal.Requests().size(), 2u);
}

TEST_F(PortalFetch, ClosedPortFailsQuicklyWithAReadableMessage) {
    TClosedPort closed;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Fetch("http://" + Local(closed.Port()) + "/kiv?x=1"));
    EXPECT_LT(SecondsSince(start), 2.0);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("127.0.0.1"), std::string::npos) << lines_[0];
    EXPECT_NE(lines_[0].find(std::to_string(closed.Port())), std::string::npos) << lines_[0];
}

TEST_F(PortalFetch, UnusableAddressIsAnErrorNotACrash) {
    EXPECT_FALSE(Fetch("http://[::1/kiv?x=1"));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_FALSE(lines_[0].empty());
}

TEST_F(PortalFetch, NoProxyKindIgnoresTheEnvironmentsProxy) {
    TPortalServer portal(kAnswer);
    ASSERT_TRUE(portal.Running());
    TClosedPort closed;
    SetEnv("http_proxy", "http://" + Local(closed.Port()));
    WriteFarm(portal.Port(), "ProxyType=0\r\n");
    EXPECT_TRUE(Fetch("http://" + Local(portal.Port()) + "/kiv?x=1")) << lines_[0];
    // No farm at all: the same.
    config_.Write("VYNClient6.0/Farms.ini", "");
    EXPECT_TRUE(Fetch("http://" + Local(portal.Port()) + "/kiv?x=1")) << lines_[0];
    EXPECT_EQ(portal.Requests().size(), 2u);
}

TEST_F(PortalFetch, FarmSocksProxyIsUsedForPlainHttp) {
    TPortalServer portal(kAnswer);
    ASSERT_TRUE(portal.Running());
    TClosedPort closed;
    for (const char* type : {"3", "4"}) {
        SCOPED_TRACE(type);
        WriteFarm(portal.Port(), std::string("ProxyType=") + type + "\r\nProxyServer=127.0.0.1\r\nProxyPort=" +
                                     std::to_string(closed.Port()) + "\r\n");
        EXPECT_FALSE(Fetch("http://" + Local(portal.Port()) + "/kiv?x=1"));
        ASSERT_EQ(lines_.size(), 1u);
        EXPECT_NE(lines_[0].find(std::to_string(closed.Port())), std::string::npos) << lines_[0];
    }
    EXPECT_TRUE(portal.Requests().empty());
}

class PortalFetchThroughSquid : public PortalFetch {
protected:
    void SetUp() override {
        if (!test::ProgramInstalled(test::kSquidProgram)) GTEST_SKIP() << "squid is not installed";
        squid_ = std::make_unique<TSquidPeer>("bob", "s3cret");
        std::string why;
        ASSERT_TRUE(squid_->Start(why)) << why;
        portal_ = std::make_unique<TPortalServer>(kAnswer);
        ASSERT_TRUE(portal_->Running());
    }

    std::string ProxyLines(int type, const std::string& user, const std::string& password) const {
        return "ProxyType=" + std::to_string(type) + "\r\nProxyServer=127.0.0.1\r\nProxyPort=" +
               std::to_string(squid_->authPort) + "\r\nProxyUser=" + user + "\r\nProxyPwd=" + password + "\r\n";
    }

    std::string PortalAddress() const { return "http://" + Local(portal_->Port()) + "/kiv/get.aspx?x=1"; }

    std::unique_ptr<TSquidPeer> squid_;
    std::unique_ptr<TPortalServer> portal_;
};

TEST_F(PortalFetchThroughSquid, FarmHttpProxyWithBasicCredentialsCarriesTheRequest) {
    WriteFarm(portal_->Port(), ProxyLines(2, "bob", "s3cret"));
    ASSERT_TRUE(Fetch(PortalAddress())) << lines_[0];
    EXPECT_EQ(lines_, kAnswerLines);
    const auto requests = portal_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], std::string("/kiv/get.aspx?x=1") + kIdentityQuery);
    EXPECT_EQ(requests[0]["headers"]["user-agent"], "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_NE(requests[0]["headers"].value("via", "").find("squid"), std::string::npos);
}

TEST_F(PortalFetchThroughSquid, ProxyRefusingTheCredentialsIsAnError) {
    for (const auto& [user, password] : {std::pair{"", ""}, std::pair{"bob", "wrong"}}) {
        WriteFarm(portal_->Port(), ProxyLines(2, user, password));
        EXPECT_FALSE(Fetch(PortalAddress()));
        ASSERT_EQ(lines_.size(), 1u);
        EXPECT_NE(lines_[0].find("407"), std::string::npos) << lines_[0];
    }
    EXPECT_TRUE(portal_->Requests().empty());
}

TEST_F(PortalFetchThroughSquid, SystemProxyKindTakesTheEnvironmentsProxy) {
    SetEnv("http_proxy", "http://bob:s3cret@" + Local(squid_->authPort));
    WriteFarm(portal_->Port(), "ProxyType=1\r\n");
    ASSERT_TRUE(Fetch(PortalAddress())) << lines_[0];
    const auto requests = portal_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0]["headers"].value("via", "").find("squid"), std::string::npos);
}

TEST_F(PortalFetchThroughSquid, FarmIsFoundByTheAddressAsGiven) {
    // Without a scheme the address names no farm, so the farm's proxy is not used.
    WriteFarm(portal_->Port(), ProxyLines(2, "bob", "s3cret"));
    ASSERT_TRUE(Fetch(Local(portal_->Port()) + "/kiv/get.aspx?x=1")) << lines_[0];
    const auto requests = portal_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0]["headers"].contains("via"));
}

TEST_F(PortalFetch, HttpsVerifiedAgainstTheGivenCertificates) {
    ASSERT_NE(cert_, nullptr);
    TPortalServer portal(kAnswer, cert_);
    ASSERT_TRUE(portal.Running());
    ASSERT_TRUE(Fetch("https://" + Local(portal.Port()) + "/kiv?x=1", TrustingTestCa())) << lines_[0];
    EXPECT_EQ(lines_, kAnswerLines);
    const auto requests = portal.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0]["path"], std::string("/kiv?x=1") + kIdentityQuery);
    EXPECT_EQ(requests[0]["headers"]["user-agent"], "MIBClient/2.1");
}

TEST_F(PortalFetch, HttpsWithAnUntrustedCertificateIsRejected) {
    ASSERT_NE(cert_, nullptr);
    TPortalServer portal(kAnswer, cert_);
    ASSERT_TRUE(portal.Running());
    EXPECT_FALSE(Fetch("https://" + Local(portal.Port()) + "/kiv?x=1"));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("certificate"), std::string::npos) << lines_[0];
    EXPECT_TRUE(portal.Requests().empty());
}

TEST_F(PortalFetch, HttpsAcceptedWithTheCheckSwitchedOff) {
    ASSERT_NE(cert_, nullptr);
    TPortalServer portal(kAnswer, cert_);
    ASSERT_TRUE(portal.Running());
    TPortalFetchOptions options;
    options.verifyPortalCertificate = false;
    ASSERT_TRUE(Fetch("HtTpS://" + Local(portal.Port()) + "/kiv?x=1", options)) << lines_[0];
    EXPECT_EQ(lines_, kAnswerLines);
    ASSERT_EQ(portal.Requests().size(), 1u);
    EXPECT_EQ(portal.Requests()[0]["headers"]["user-agent"], "MIBClient/2.1");
}

TEST_F(PortalFetch, HttpsIgnoresTheFarmsAndTheEnvironmentsProxy) {
    ASSERT_NE(cert_, nullptr);
    TPortalServer portal(kAnswer, cert_);
    ASSERT_TRUE(portal.Running());
    TClosedPort closed;
    WriteFarm(portal.Port(), "ProxyType=2\r\nProxyServer=127.0.0.1\r\nProxyPort=" + std::to_string(closed.Port()) +
                                 "\r\nProxyUser=bob\r\nProxyPwd=x\r\n");
    SetEnv("https_proxy", "http://" + Local(closed.Port()));
    SetEnv("all_proxy", "http://" + Local(closed.Port()));
    EXPECT_TRUE(Fetch("HTTPS://" + Local(portal.Port()) + "/kiv?x=1", TrustingTestCa())) << lines_[0];
    EXPECT_EQ(portal.Requests().size(), 1u);
}

TEST_F(PortalFetch, HttpsPortalThatNeverAnswersFailsAfterTheConnectLimit) {
    // The system completes the connection; the TLS handshake then waits for an
    // answer that never comes. The 3 s connect limit covers the handshake too.
    TSilentListener silent;
    ASSERT_NE(silent.Port(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Fetch("https://" + Local(silent.Port()) + "/kiv?x=1", TrustingTestCa()));
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 2.9);
    EXPECT_LT(seconds, 6.0);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("timeout"), std::string::npos) << lines_[0];
}

}  // namespace
}  // namespace kiv
