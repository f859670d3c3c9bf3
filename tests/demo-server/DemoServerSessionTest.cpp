// Real RDP sessions against the demo server binary, with a FreeRDP client in
// the test: logon record, routing token, desktop pixels, channel traffic and
// the scenario's error info, close, drop and reconnection.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <memory>

#include "DemoServerProcess.h"
#include "TestRdpClient.h"
#include "support/TempDir.h"
#include "tools/demo-server/DesktopPattern.h"

namespace kiv::demo::test {
namespace {

using kiv::test::TempDir;

TBytes Bytes(std::string_view text) { return TBytes(text.begin(), text.end()); }

class DemoServerSession : public ::testing::Test {
protected:
    TTestClientOptions ClientOptions(int port) {
        TTestClientOptions options;
        options.port = port;
        options.configDir = dir.path() / "client";
        return options;
    }
    TempDir dir;
};

TEST_F(DemoServerSession, RecordsTheLogonWithTheExactRoutingTokenAndTheChannels) {
    TDemoServerProcess server(dir.path() / "server", {"--transcript-secrets"});
    TTestClientOptions options = ClientOptions(server.port());
    options.user = "alice";
    options.password = "s3cret";
    options.domain = "FARM";
    options.alternateShell = "kivshell.exe /app 7";
    options.workingDir = "C:\\apps";
    // The load-balance cookie our client sends: "AGS:" + session id + a zero byte + CR LF.
    options.loadBalanceInfo = Bytes(std::string_view("AGS:SID00000000\0\r\n", 18));
    options.width = 800;
    options.height = 600;
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect()) << server.Stderr();

    const auto logons = server.WaitEvents("logon");
    ASSERT_EQ(logons.size(), 1u);
    const auto& logon = logons[0];
    EXPECT_EQ(logon["connection"], 1);
    EXPECT_EQ(logon["user"], "alice");
    EXPECT_EQ(logon["domain"], "FARM");
    EXPECT_EQ(logon["password"], "s3cret");
    EXPECT_EQ(logon["alternate_shell"], "kivshell.exe /app 7");
    EXPECT_EQ(logon["working_dir"], "C:\\apps");
    EXPECT_EQ(logon["routing_token_hex"], "4147533A5349443030303030303030000D0A");
    EXPECT_EQ(logon["cookie"], "");
    EXPECT_EQ(logon["width"], 800);
    EXPECT_EQ(logon["height"], 600);
    EXPECT_EQ(logon["color_depth"], 32);
    EXPECT_TRUE(logon["performance_flags"].is_number());
    EXPECT_EQ(logon["security"], "tls");
    EXPECT_TRUE(logon["auto_reconnect_logon_id"].is_null());

    std::map<std::string, TJsonLine> channels;
    for (const auto& line : server.Events("channel")) channels[line["name"]] = line;
    ASSERT_EQ(channels.count("CSML"), 1u);
    ASSERT_EQ(channels.count("CSMT"), 1u);
    ASSERT_EQ(channels.count("CSMP"), 1u);
    EXPECT_EQ(channels["CSML"]["options"], 0x08200000);
    EXPECT_EQ(channels["CSMT"]["options"], 0x08800000);
    EXPECT_EQ(channels["CSMP"]["options"], 0x08200000);
    for (const char* name : {"CSML", "CSMT", "CSMP"}) EXPECT_EQ(channels[name]["opened"], true) << name;

    const auto active = server.WaitEvents("active");
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0]["width"], 800);
    EXPECT_EQ(active[0]["painted"], true);
}

TEST_F(DemoServerSession, WithoutARoutingTokenTheCookieIsRecorded) {
    TDemoServerProcess server(dir.path() / "server", {});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    const auto logons = server.WaitEvents("logon");
    ASSERT_EQ(logons.size(), 1u);
    EXPECT_EQ(logons[0]["routing_token_hex"], "");
    // FreeRDP sends the user name as the "mstshash" cookie when there is no token.
    EXPECT_EQ(logons[0]["cookie"], "demo");
}

TEST_F(DemoServerSession, PaintsDemoBlueWithALighterGridEvery64Pixels) {
    TDemoServerProcess server(dir.path() / "server", {});
    TTestClientOptions options = ClientOptions(server.port());
    options.width = 800;
    options.height = 600;
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect());
    EXPECT_EQ(client.WaitPixel(10, 10, kDemoDesktopColor), 0x2E5C8Au);
    EXPECT_EQ(client.WaitPixel(0, 0, kDemoGridColor), 0x577CA1u);
    EXPECT_EQ(client.WaitPixel(64, 10, kDemoGridColor), kDemoGridColor);
    EXPECT_EQ(client.WaitPixel(10, 576, kDemoGridColor), kDemoGridColor);
    EXPECT_EQ(client.WaitPixel(63, 63, kDemoDesktopColor), kDemoDesktopColor);
    // The last row and column of partial edge tiles (600 = 9 * 64 + 24).
    EXPECT_EQ(client.WaitPixel(799, 599, kDemoDesktopColor), kDemoDesktopColor);
    EXPECT_EQ(client.WaitPixel(799, 577, kDemoDesktopColor), kDemoDesktopColor);
}

TEST_F(DemoServerSession, AnnouncesItsOwnSizeAndColourWhenTold) {
    TDemoServerProcess server(dir.path() / "server", {"--width", "640", "--height", "480", "--color", "0x102030"});
    TTestClientOptions options = ClientOptions(server.port());
    options.width = 1024;
    options.height = 768;
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect());
    const auto logon = server.WaitEvents("logon");
    ASSERT_EQ(logon.size(), 1u);
    EXPECT_EQ(logon[0]["width"], 1024) << "the logon keeps what the client asked for";
    const auto active = server.WaitEvents("active");
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0]["width"], 640);
    EXPECT_EQ(active[0]["height"], 480);
    EXPECT_EQ(client.WaitPixel(10, 10, 0x102030), 0x102030u);
    EXPECT_EQ(client.WaitPixel(639, 479, 0x102030), 0x102030u);
    EXPECT_EQ(client.WaitPixel(64, 64, LighterGridColor(0x102030)), LighterGridColor(0x102030));
}

TEST_F(DemoServerSession, ChannelsCarryScenarioMessagesBothWays) {
    TDemoServerProcess server(dir.path() / "server",
                              {"--no-shell", "--step", "after connect send CSML 5A2E07 01", "--step",
                               "after recv CSML 5A2E07?? send CSML 5A2E07FF", "--step", "echo CSMT"});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitChannelOpen("CSML"));
    EXPECT_EQ(client.WaitMessage("CSML"), (TBytes{0x5A, 0x2E, 0x07, 0x01}));

    ASSERT_TRUE(client.Send("CSML", {0x5A, 0x2E, 0x07, 0x02, 0xAA}));
    EXPECT_EQ(client.WaitMessage("CSML"), (TBytes{0x5A, 0x2E, 0x07, 0xFF}));
    // Too short for the pattern: no answer.
    ASSERT_TRUE(client.Send("CSML", {0x5A, 0x2E, 0x07}));

    // Larger than one channel chunk (1600 bytes) in both directions.
    TBytes large(5000);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(client.Send("CSMT", large));
    EXPECT_EQ(client.WaitMessage("CSMT"), large);

    const auto received = server.WaitEvents("recv", 3);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0]["channel"], "CSML");
    EXPECT_EQ(received[0]["hex"], "5A2E0702AA");
    EXPECT_EQ(received[1]["hex"], "5A2E07");
    EXPECT_EQ(received[2]["channel"], "CSMT");
    EXPECT_EQ(received[2]["hex"].get<std::string>().size(), 10000u);
    const auto sent = server.WaitEvents("send", 3);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["hex"], "5A2E0701");
    EXPECT_EQ(sent[1]["hex"], "5A2E07FF");
    EXPECT_EQ(sent[2]["hex"], received[2]["hex"]);
    EXPECT_FALSE(client.WaitMessage("CSML", 200).has_value());
}

TEST_F(DemoServerSession, ErrorInfoGoesOutWithTheClose) {
    TDemoServerProcess server(dir.path() / "server", {"--step", "after connect 100ms error-info 0x3 close"});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitDisconnected());
    EXPECT_EQ(client.errorInfo(), 3u);
    const auto gone = server.WaitEvents("disconnect");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["reason"], "close");
    ASSERT_EQ(server.Events("error-info").size(), 1u);
    EXPECT_EQ(server.Events("error-info")[0]["code"], 3);
}

TEST_F(DemoServerSession, ALogonRuleRefusesTheSessionBeforeItStarts) {
    TDemoServerProcess server(dir.path() / "server", {"--step", "after logon error-info 0x9 close"});
    TTestRdpClient client(ClientOptions(server.port()));
    EXPECT_FALSE(client.Connect());
    EXPECT_EQ(client.errorInfo(), 9u);
    EXPECT_EQ(server.WaitEvents("disconnect").size(), 1u);
    EXPECT_EQ(server.Events("logon").size(), 1u);
    EXPECT_TRUE(server.Events("active").empty());
}

TEST_F(DemoServerSession, DropEndsTheSessionWithoutErrorInfo) {
    TDemoServerProcess server(dir.path() / "server", {"--step", "after connect 200ms drop"});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitDisconnected());
    EXPECT_EQ(client.errorInfo(), 0u);
    const auto gone = server.WaitEvents("disconnect");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["reason"], "drop");
}

TEST_F(DemoServerSession, AClientReconnectsWithItsCookieAfterADropOnce) {
    TDemoServerProcess server(dir.path() / "server",
                              {"--no-shell", "--step", "reconnect-cookie", "--step", "after 300ms drop-once", "--step",
                               "echo CSML"});
    TTestClientOptions options = ClientOptions(server.port());
    options.reconnectOnDrop = true;
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.WaitReconnected());

    const auto logons = server.WaitEvents("logon", 2);
    ASSERT_EQ(logons.size(), 2u);
    EXPECT_TRUE(logons[0]["auto_reconnect_logon_id"].is_null());
    EXPECT_EQ(logons[1]["auto_reconnect_logon_id"], 1);
    const auto cookies = server.Events("reconnect-cookie");
    ASSERT_GE(cookies.size(), 1u);
    EXPECT_EQ(cookies[0]["logon_id"], 1);
    const auto first = server.WaitEvents("disconnect", 1, 1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["reason"], "drop");

    // The second connection is not dropped, and its channels work.
    ASSERT_EQ(server.WaitEvents("active", 1, 2).size(), 1u);
    ASSERT_TRUE(client.WaitChannelOpen("CSML"));
    ASSERT_TRUE(client.Send("CSML", {0x01, 0x02}));
    EXPECT_EQ(client.WaitMessage("CSML"), (TBytes{0x01, 0x02}));
    EXPECT_TRUE(server.Events("disconnect", 2).empty());
}

TEST_F(DemoServerSession, ServesOverlappingAndSuccessiveSessions) {
    TDemoServerProcess server(dir.path() / "server", {"--step", "echo CSMP"});
    {
        auto optionsA = ClientOptions(server.port());
        optionsA.user = "first";
        auto optionsB = ClientOptions(server.port());
        optionsB.user = "second";
        TTestRdpClient a(optionsA);
        TTestRdpClient b(optionsB);
        ASSERT_TRUE(a.Connect());
        ASSERT_TRUE(b.Connect());
        ASSERT_TRUE(a.WaitChannelOpen("CSMP"));
        ASSERT_TRUE(b.WaitChannelOpen("CSMP"));
        ASSERT_TRUE(a.Send("CSMP", {0xAA}));
        ASSERT_TRUE(b.Send("CSMP", {0xBB}));
        EXPECT_EQ(a.WaitMessage("CSMP"), TBytes{0xAA});
        EXPECT_EQ(b.WaitMessage("CSMP"), TBytes{0xBB});
        ASSERT_EQ(server.WaitEvents("active", 2).size(), 2u);
    }
    ASSERT_EQ(server.WaitEvents("disconnect", 2).size(), 2u);
    TTestRdpClient c(ClientOptions(server.port()));
    ASSERT_TRUE(c.Connect());
    ASSERT_EQ(server.WaitEvents("active", 1, 3).size(), 1u);
    std::vector<std::string> users;
    for (const auto& logon : server.Events("logon")) users.push_back(logon["user"]);
    std::sort(users.begin(), users.end());
    EXPECT_EQ(users, (std::vector<std::string>{"demo", "first", "second"}));
}

TEST_F(DemoServerSession, TheTranscriptMasksThePasswordUnlessToldOtherwise) {
    TDemoServerProcess server(dir.path() / "server", {});
    TTestClientOptions options = ClientOptions(server.port());
    options.password = "s3cret";
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect()) << server.Stderr();
    const auto logons = server.WaitEvents("logon");
    ASSERT_EQ(logons.size(), 1u);
    EXPECT_EQ(logons[0]["password"], "********");
}

TEST_F(DemoServerSession, NlaChecksThePassword) {
    TDemoServerProcess server(dir.path() / "server",
                              {"--nla", "--user", "demo", "--password", "right", "--domain", "DOM"});
    {
        auto options = ClientOptions(server.port());
        options.nla = true;
        options.password = "wrong";
        options.domain = "DOM";
        TTestRdpClient client(options);
        EXPECT_FALSE(client.Connect());
        // FreeRDP's client tries NLA a second time on a new connection before it gives up.
        ASSERT_GE(server.WaitEvents("disconnect").size(), 1u);
        EXPECT_TRUE(server.Events("logon").empty());
    }
    auto options = ClientOptions(server.port());
    options.nla = true;
    options.password = "right";
    options.domain = "DOM";
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect());
    const auto logon = server.WaitEvents("logon");
    ASSERT_EQ(logon.size(), 1u);
    EXPECT_EQ(logon[0]["security"], "nla");
    EXPECT_EQ(logon[0]["user"], "demo");
}

TEST_F(DemoServerSession, ARenewedCertificateReachesTheClientAsAChangedOne) {
    int port = 0;
    std::string first;
    {
        TDemoServerProcess server(dir.path() / "server", {});
        port = server.port();
        first = server.Events("listening")[0]["certificate_sha256"];
        auto options = ClientOptions(port);
        options.rememberCertificate = true;
        TTestRdpClient client(options);
        ASSERT_TRUE(client.Connect());
        EXPECT_FALSE(client.changedCertificateSeen());
        std::string seen = client.certificateFingerprint();
        std::transform(seen.begin(), seen.end(), seen.begin(), ::toupper);
        EXPECT_EQ(seen, first);
    }
    TDemoServerProcess server(dir.path() / "server", {"--port", std::to_string(port), "--new-certificate"});
    auto options = ClientOptions(port);
    options.rememberCertificate = true;
    TTestRdpClient client(options);
    ASSERT_TRUE(client.Connect());
    EXPECT_TRUE(client.changedCertificateSeen());
}

}  // namespace
}  // namespace kiv::demo::test

namespace kiv::demo::test {
namespace {

TEST_F(DemoServerSession, SigtermEndsLiveSessionsAndTheServerWithExitZero) {
    TDemoServerProcess server(dir.path() / "server", {});
    TTestRdpClient client(ClientOptions(server.port()));
    ASSERT_TRUE(client.Connect());
    ASSERT_EQ(server.WaitEvents("active").size(), 1u);
    std::chrono::milliseconds took{};
    EXPECT_EQ(server.Stop(SIGTERM, 2000, &took), 0);
    EXPECT_LT(took.count(), 2000);
    const auto gone = server.Events("disconnect");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["reason"], "stop");
    EXPECT_TRUE(client.WaitDisconnected());
}

}  // namespace
}  // namespace kiv::demo::test
