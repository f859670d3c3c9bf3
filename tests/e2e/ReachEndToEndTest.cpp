// The client reaching its server the other ways users have: through the farm's
// proxy (squid, dante) and from a KIV:// link that a portal answers.
#include <gtest/gtest.h>

#include "launch/CredentialCodec.h"
#include "launch/KivLink.h"
#include "support/ClientSessionHarness.h"
#include "support/PortalServer.h"
#include "support/ProxyPeers.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

std::string Settings(int serverPort, const std::string& farmHost = "", int farmPort = 0) {
    return "[RESULT]\r\nresult=0\r\n[Farm]\r\nFarmprotocol=http\r\nFarmHost=" + farmHost +
           "\r\nFarmPort=" + std::to_string(farmPort) +
           "\r\nUserName=616E6E\r\n[Session]\r\nScreen_FULL=0\r\nWidth=800\r\nHeight=600\r\n[Application]\r\n"
           "App_id=APPLINK\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:" +
           std::to_string(serverPort) + "\r\nLogin_User=" + EncodeCredential("ann") + "\r\n";
}

class ReachEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << harness.DisplayError();
    }
    // A farm at portal:8080 whose proxy is the given one.
    void Farm(int type, int proxyPort, const std::string& user = "", const std::string& password = "") {
        harness.Dir().Write("config/VYNClient6.0/Farms.ini", "[Farms]\nFarmList=corp\n");
        harness.Dir().Write("config/VYNClient6.0/corp/Farm.ini",
                            "[Farm]\nFarmHost=portal\nFarmPort=8080\n[ProxySet]\nProxyType=" + std::to_string(type) +
                                "\nProxyServer=127.0.0.1\nProxyPort=" + std::to_string(proxyPort) +
                                "\nProxyUser=" + user + "\nProxyPwd=" + password + "\n");
    }
    bool AppStarted() {
        return test::WaitFor([&] { return harness.ReceivedStarting("5A2E070400" + TextToHex("APPLINK")); }, 30s);
    }
    void End(test::ChildProcess& client) {
        harness.Run({KIVTOOL_PATH, "send-window-message", "WM_MSG_DISCONNECT_DEBUG"})->Wait(10s);
        EXPECT_EQ(client.Wait(15s), 0);
    }
    test::ClientSessionHarness harness;
};

TEST_F(ReachEndToEnd, ThroughSquid) {
    test::TSquidPeer squid;
    std::string why;
    if (!squid.Start(why)) GTEST_SKIP() << why;
    const int port = harness.StartServer({});
    ASSERT_NE(port, 0);
    Farm(2, squid.authPort, test::kPeerUser, test::kPeerPassword);
    std::string settings = Settings(port, "portal", 8080);
    const auto file = harness.Dir().Write("squid.kiv", settings.substr(settings.find("[Farm]")));
    auto client = harness.StartClient({file.string()});
    ASSERT_TRUE(AppStarted());
    // The server saw the session come from the proxy's side, not straight from the client.
    EXPECT_EQ(harness.TranscriptEvents("connect").size(), 1u);
    End(*client);
}

// The same farm with a wrong password proves the session really went through squid.
TEST_F(ReachEndToEnd, AProxyThatRefusesTheCredentialsEndsTheAttemptWithAMessage) {
    test::TSquidPeer squid;
    std::string why;
    if (!squid.Start(why)) GTEST_SKIP() << why;
    const int port = harness.StartServer({});
    ASSERT_NE(port, 0);
    Farm(2, squid.authPort, test::kPeerUser, "wrong");
    std::string settings = Settings(port, "portal", 8080);
    const auto file = harness.Dir().Write("refused.kiv", settings.substr(settings.find("[Farm]")));
    auto client = harness.StartClient({file.string()});
    EXPECT_EQ(client->Wait(40s), 0);
    EXPECT_EQ(harness.MessageBoxes().size(), 1u);
    EXPECT_TRUE(harness.TranscriptEvents("connect").empty());
}

TEST_F(ReachEndToEnd, ThroughDante) {
    test::TDantePeer dante(false);
    std::string why;
    if (!dante.Start(why)) GTEST_SKIP() << why;
    const int port = harness.StartServer({});
    ASSERT_NE(port, 0);
    Farm(4, dante.port);
    std::string settings = Settings(port, "portal", 8080);
    const auto file = harness.Dir().Write("dante.kiv", settings.substr(settings.find("[Farm]")));
    auto client = harness.StartClient({file.string()});
    ASSERT_TRUE(AppStarted());
    End(*client);
}

TEST_F(ReachEndToEnd, FromAKivLinkThroughThePortal) {
    const int port = harness.StartServer({});
    ASSERT_NE(port, 0);
    test::TPortalServer portal(Settings(port));
    ASSERT_TRUE(portal.Running());
    const std::string link =
        MakeLink("http://127.0.0.1:" + std::to_string(portal.Port()) + "/kiv/get?app=APPLINK");
    auto client = harness.StartClient({link + "/"});
    ASSERT_TRUE(AppStarted());
    ASSERT_FALSE(portal.Requests().empty());
    const std::string path = portal.Requests().front()["path"];
    EXPECT_NE(path.find("app=APPLINK&Computer="), std::string::npos) << path;
    EXPECT_NE(path.find("&Finger="), std::string::npos);
    End(*client);
}

TEST_F(ReachEndToEnd, APortalRefusalIsShownAndNothingConnects) {
    const int port = harness.StartServer({});
    ASSERT_NE(port, 0);
    test::TPortalServer portal("[RESULT]\r\nresult=3\r\nMsgDesc=The application is not published for you\r\n");
    ASSERT_TRUE(portal.Running());
    auto client = harness.StartClient({MakeLink("http://127.0.0.1:" + std::to_string(portal.Port()) + "/k?a=1")});
    EXPECT_EQ(client->Wait(30s), 0);
    const auto boxes = harness.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["text"], "The application is not published for you");
    EXPECT_TRUE(harness.TranscriptEvents("connect").empty());
}

}  // namespace
}  // namespace kiv
