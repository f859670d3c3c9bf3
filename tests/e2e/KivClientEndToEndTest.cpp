// kivclient against kiv-demo-server over real RDP, on a private X display with a
// window manager and a panel, as a user runs it.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "infra/TextRules.h"
#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

class KivClientEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
    }

    // The server's built-in shell plays the server side; `options` choose its road.
    void StartServer(const std::vector<std::string>& options = {}) {
        port = harness.StartServer(options);
        ASSERT_NE(port, 0) << "the demo server did not start; see " << dir.path() / "server.log";
    }

    std::filesystem::path Transcript() const { return dir.path() / "transcript.jsonl"; }

    std::filesystem::path ConnectionFile(const std::string& name, const std::string& appId, bool shared) {
        return dir.Write(name, "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=0\r\n"
                               "Width=800\r\nHeight=600\r\nColor=4\r\nShareSession=" +
                                   std::string(shared ? "1" : "0") +
                                   "\r\n[Application]\r\nApp_id=" + appId +
                                   "\r\nApp_name=Notepad\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:" +
                                   std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                                   "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
    }

    std::unique_ptr<test::ChildProcess> StartClient(const std::filesystem::path& file) {
        return harness.StartClient({file.string()});
    }

    std::vector<std::string> Received() const { return harness.ReceivedOnCsml(); }
    bool ReceivedStarting(const std::string& prefix, int count = 1) const {
        return harness.ReceivedStarting(prefix, count);
    }
    std::vector<Json> Boxes() const { return harness.MessageBoxes(); }
    void Screenshot(const std::string& name) {
        const std::filesystem::path artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        std::filesystem::create_directories(artifacts);
        harness.Run({"/usr/bin/import", "-window", "root", (artifacts / name).string()})->Wait(10s);
    }

    test::ClientSessionHarness harness;
    const test::TempDir& dir = harness.Dir();
    const std::map<std::string, std::string>& env = harness.Env();
    int port = 0;
};

TEST_F(KivClientEndToEnd, ReachesTheRunningApplicationAndEndsOnRequest) {
    StartServer();
    auto client = StartClient(ConnectionFile("app.kiv", "APP0001", false));
    // SHELL_START_APP goes out only once the shell reported it started.
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedStarting("5A2E070400" + TextToHex("APP0001")); }, 30s))
        << "server saw: " << Received().size() << " messages";
    EXPECT_TRUE(ReceivedStarting("5A2E074000"));  // SHELL_DRIVE_PATHS
    EXPECT_TRUE(ReceivedStarting("5A2E074100"));  // SHELL_MOUSE_SWAP
    const std::string clientInfo = "5A2E07200000000000000000000000000000000000" + TextToHex("/U:ann /M:");
    EXPECT_TRUE(ReceivedStarting(clientInfo)) << "no SHELL_CLIENT_INFO";
    Screenshot("kivclient-running.png");
    EXPECT_TRUE(Boxes().empty());
    // The demo server's own certificate verifies against no authority: asked about once, with its issuer.
    const auto asked = harness.CertificateQuestions();
    const auto listening = harness.TranscriptEvents("listening");
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_FALSE(listening.empty());
    EXPECT_EQ(asked[0]["host"], "127.0.0.1");
    EXPECT_NE(asked[0]["issuer"].get<std::string>().find("kiv-demo-server"), std::string::npos) << asked[0].dump();
    EXPECT_EQ(LowerAscii(asked[0]["fingerprint"].get<std::string>()),
              LowerAscii(listening[0]["certificate_sha256"].get<std::string>()));

    test::ChildProcess request({KIVTOOL_PATH, "send-window-message", "WM_MSG_DISCONNECT_DEBUG"}, env);
    EXPECT_EQ(request.Wait(10s), 0);
    EXPECT_EQ(client->Wait(15s), 0);
}

TEST_F(KivClientEndToEnd, ARefusedLogonShowsItsReasonAndEnds) {
    StartServer({"--auth-result", "309"});  // no such user
    auto client = StartClient(ConnectionFile("app.kiv", "APP0001", false));
    EXPECT_EQ(client->Wait(40s), 0);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["caption"], "Error");
    EXPECT_NE(boxes[0]["text"].get<std::string>().find("user"), std::string::npos) << boxes[0].dump();
    EXPECT_EQ(boxes[0]["icon"], 2);
}

TEST_F(KivClientEndToEnd, ASecondLaunchOfASharedSessionIsHandedOver) {
    StartServer();
    auto first = StartClient(ConnectionFile("first.kiv", "APP0001", true));
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedStarting("5A2E070400" + TextToHex("APP0001")); }, 30s));
    auto second = StartClient(ConnectionFile("second.kiv", "APP0002", true));
    EXPECT_EQ(second->Wait(20s), 0);  // handed over and ended without a session of its own
    EXPECT_TRUE(test::WaitFor([&] { return ReceivedStarting("5A2E070400" + TextToHex("APP0002")); }, 10s));
    std::ifstream in(Transcript());
    int connections = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find("\"event\":\"connect\"") != std::string::npos) ++connections;
    EXPECT_EQ(connections, 1);
    test::ChildProcess request({KIVTOOL_PATH, "send-window-message", "WM_MSG_DISCONNECT_DEBUG"}, env);
    request.Wait(10s);
    EXPECT_EQ(first->Wait(15s), 0);
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

// What kivtool connect-plan says the control is told is what the server sees.
TEST_F(KivClientEndToEnd, TheConnectPlanIsWhatTheServerRecords) {
    StartServer({"--transcript-secrets"});
    const auto file = dir.Write(
        "plan.kiv", "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=0\r\nWidth=800\r\n"
                    "Height=600\r\n[Application]\r\nApp_id=APP7\r\nApp_type_mode=2\r\n[Server]\r\nServerIPType=2\r\n"
                    "Server_Address=127.0.0.1:" + std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                    "\r\nLogin_PassWord=" + EncodeCredential("pw") + "\r\nLogin_domain=" + EncodeCredential("corp.com") +
                    "\r\nKivShellPath=" + EncodeShellPath("c:\\kiv\\shell.exe") + "\r\n");
    test::ChildProcess plan({KIVTOOL_PATH, "connect-plan", file.string()}, env);
    std::string output;
    while (auto line = plan.ReadLine(10s)) output += *line + "\n";
    ASSERT_EQ(plan.Wait(10s), 0) << output;
    std::map<std::string, Json> planned;
    const Json parsedPlan = Json::parse(output);
    for (const auto& call : parsedPlan["calls"]) planned[call[0].get<std::string>()] = call[1];

    auto client = StartClient(file);
    Json logon;
    ASSERT_TRUE(test::WaitFor(
        [&] {
            std::ifstream in(Transcript());
            for (std::string line; std::getline(in, line);)
                if (line.find("\"event\":\"logon\"") != std::string::npos) logon = Json::parse(line);
            return logon.is_object();
        },
        30s));
    // The control is told "corp\ann" in domain "corp"; on the wire the two travel apart.
    EXPECT_EQ(planned["UserName"], "corp\\ann");
    EXPECT_EQ(logon["user"], "ann");
    EXPECT_EQ(logon["domain"], planned["Domain"]);
    EXPECT_EQ(logon["password"], planned["ClearTextPassword"]);
    EXPECT_EQ(logon["alternate_shell"], planned["StartProgram"]);
    EXPECT_EQ(logon["working_dir"], planned["WorkDir"]);
    EXPECT_EQ(logon["routing_token_hex"], planned["LoadBalanceInfo"]);
    EXPECT_EQ(logon["routing_token_hex"], TextToHex(std::string("AGS:SID00000042\0\r\n", 18)));
    std::ifstream in(Transcript());
    std::map<std::string, int64_t> options;
    for (std::string line; std::getline(in, line);) {
        const Json j = Json::parse(line);
        if (j.value("event", "") == "channel") options[j["name"]] = j["options"];
    }
    EXPECT_EQ(options["CSML"], 0x08200000);
    EXPECT_EQ(options["CSMT"], 0x08800000);
    EXPECT_EQ(options["CSMP"], 0x08200000);
    client->Terminate();
}

}  // namespace
}  // namespace kiv
