// Server certificates: one that verifies against no authority of this machine (the
// demo server's own) is a question on first use, or trusted on first use when the
// control is told so; the answer is remembered in the control's own folder; a
// different one later is a question for the user.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "FreeRdpTestHarness.h"

namespace kiv::test {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string ServerFingerprint(const DemoServerProcess& server) {
    const auto listening = server.Events("listening");
    return listening.empty() ? std::string() : Lower(listening.front().value("certificate_sha256", ""));
}

// Connects once with a fresh control and reports the outcome: true when connected.
bool ConnectOnce(const DemoServerProcess& server, ControlFixture& f) {
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    const bool connected = f.WaitConnected();
    if (connected) {
        f.control->Disconnect();
        f.WaitDisconnected();
    }
    return connected;
}

TEST(FreeRdpCertificates, AnUnverifiedFirstCertificateIsAskedAboutOrTrustedAndTheAnswerRemembered) {
    struct Case {
        const char* name;
        bool answer;
        bool trustFirst;
        size_t questions;
        bool connects;
    };
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    for (const Case& c : {Case{"asked, yes", true, false, 1, true}, Case{"asked, no", false, false, 1, false},
                          Case{"trusted on first use", false, true, 0, true}}) {
        SCOPED_TRACE(c.name);
        TempDir shared;
        const auto configPath = shared.path() / "freerdp";
        {
            ControlFixture first(c.answer, 10s, configPath, c.trustFirst);
            EXPECT_EQ(ConnectOnce(server, first), c.connects);
            ASSERT_EQ(first.prompt.questions.size(), c.questions);
            if (c.questions == 1) {
                const TCertificateQuestion& q = first.prompt.questions.front();
                EXPECT_EQ(q.host, "127.0.0.1");
                EXPECT_EQ(q.port, server.Port());
                EXPECT_EQ(Lower(q.fingerprint), ServerFingerprint(server));
                EXPECT_NE(q.issuer.find("kiv-demo-server"), std::string::npos) << q.issuer;
                EXPECT_TRUE(q.oldFingerprint.empty());
            }
            if (!c.connects) {
                EXPECT_EQ(first.WaitDisconnected(), 2310);
            }
        }
        // The library's known hosts, in our folder, hold the fingerprint once it was taken.
        const std::string knownHosts = Lower(ReadFileBytes(configPath / "known_hosts2"));
        EXPECT_EQ(knownHosts.find(ServerFingerprint(server)) != std::string::npos, c.connects) << knownHosts;
        if (!c.connects) continue;
        ControlFixture second(false, 10s, configPath);
        EXPECT_TRUE(ConnectOnce(server, second));
        EXPECT_TRUE(second.prompt.questions.empty());
    }
}

class FreeRdpChangedCertificate : public ::testing::Test {
protected:
    // A server remembered by the control, then replaced on the same port by one
    // with a new certificate.
    void SetUp() override {
        auto first = std::make_unique<DemoServerProcess>(StateOptions(false, 0));
        ASSERT_TRUE(first->Started()) << first->StartError();
        port_ = first->Port();
        oldFingerprint_ = ServerFingerprint(*first);
        {
            ControlFixture f(true, 10s, configPath_);
            ASSERT_TRUE(ConnectOnce(*first, f));
        }
        first.reset();
        server_ = std::make_unique<DemoServerProcess>(StateOptions(true, port_));
        ASSERT_TRUE(server_->Started()) << server_->StartError();
        ASSERT_NE(ServerFingerprint(*server_), oldFingerprint_);
    }

    DemoServerProcess::Options StateOptions(bool newCertificate, int port) {
        DemoServerProcess::Options options;
        options.stateDir = state_.path();
        options.newCertificate = newCertificate;
        options.port = port;
        return options;
    }

    TempDir state_;
    TempDir config_;
    std::filesystem::path configPath_ = config_.path() / "freerdp";
    int port_ = 0;
    std::string oldFingerprint_;
    std::unique_ptr<DemoServerProcess> server_;
};

TEST_F(FreeRdpChangedCertificate, RefusedEndsWithASecurityError) {
    ControlFixture f(false, 10s, configPath_);
    f.ConfigureFor("127.0.0.1", port_);
    f.control->Connect();
    EXPECT_EQ(f.WaitDisconnected(), 2310);
    EXPECT_FALSE(f.events.Has("connected"));
    ASSERT_EQ(f.prompt.questions.size(), 1u);
    const TCertificateQuestion& q = f.prompt.questions.front();
    EXPECT_EQ(q.host, "127.0.0.1");
    EXPECT_EQ(q.port, port_);
    EXPECT_EQ(Lower(q.fingerprint), ServerFingerprint(*server_));
    EXPECT_EQ(Lower(q.oldFingerprint), oldFingerprint_);
    EXPECT_NE(q.subject.find("kiv-demo-server"), std::string::npos) << q.subject;
}

TEST_F(FreeRdpChangedCertificate, AcceptedConnectsForThisSessionOnly) {
    {
        ControlFixture f(true, 10s, configPath_);
        EXPECT_TRUE(ConnectOnce(*server_, f));
        EXPECT_EQ(f.prompt.questions.size(), 1u);
    }
    // The known hosts still hold the remembered certificate, so the next
    // connection asks again.
    EXPECT_NE(Lower(ReadFileBytes(configPath_ / "known_hosts2")).find(oldFingerprint_), std::string::npos);
    ControlFixture again(true, 10s, configPath_);
    EXPECT_TRUE(ConnectOnce(*server_, again));
    EXPECT_EQ(again.prompt.questions.size(), 1u);
}

}  // namespace
}  // namespace kiv::test
