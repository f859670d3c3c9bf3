// kivclient against kiv-demo-server over real RDP, on a private X display with a
// window manager and a panel, as a user runs it.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "launch/CredentialCodec.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/XvfbDisplay.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

class KivClientEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display.Started()) GTEST_SKIP() << "no private X display: " << display.Error();
        env = {{"DISPLAY", display.Display()},
               {"HOME", (dir.path() / "home").string()},
               {"XDG_CONFIG_HOME", (dir.path() / "config").string()},
               {"XDG_STATE_HOME", (dir.path() / "state").string()},
               {"XDG_RUNTIME_DIR", (dir.path() / "run").string()},
               {"KIV_MACHINE_SETTINGS", (dir.path() / "registry.ini").string()},
               {"KIV_TEST_MESSAGE_LOG", (dir.path() / "boxes.jsonl").string()},
               {"LANG", "en_US.UTF-8"}};
        std::filesystem::create_directories(dir.path() / "run");
        std::filesystem::permissions(dir.path() / "run", std::filesystem::perms::owner_all);
        dir.Write("registry.ini", "[Debug]\nKivClient=all\n");
        windowManager = std::make_unique<test::ChildProcess>(std::vector<std::string>{"/usr/bin/openbox"}, env,
                                                             (dir.path() / "openbox.log").string());
        panel = std::make_unique<test::ChildProcess>(std::vector<std::string>{"/usr/bin/tint2"}, env,
                                                     (dir.path() / "tint2.log").string());
    }

    // The server's built-in shell plays the server side; `options` choose its road.
    void StartServer(const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv{DEMO_SERVER_PATH, "--port", "0", "--state-dir", (dir.path() / "server").string(),
                                      "--transcript", Transcript().string()};
        argv.insert(argv.end(), options.begin(), options.end());
        server = std::make_unique<test::ChildProcess>(argv, std::map<std::string, std::string>{},
                                                      (dir.path() / "server.log").string());
        const auto line = server->ReadLine(10s);
        ASSERT_TRUE(line && line->rfind("listening on 127.0.0.1:", 0) == 0) << (line ? *line : "no line");
        port = std::stoi(line->substr(23));
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
        return std::make_unique<test::ChildProcess>(std::vector<std::string>{KIVCLIENT_PATH, file.string()}, env,
                                                    (dir.path() / "client.log").string());
    }

    // The messages the server received on CSML, as hex.
    std::vector<std::string> Received() const {
        std::vector<std::string> hex;
        std::ifstream in(Transcript());
        for (std::string line; std::getline(in, line);) {
            const Json j = Json::parse(line, nullptr, false);
            if (j.is_object() && j.value("event", "") == "recv" && j.value("channel", "") == "CSML")
                hex.push_back(j.value("hex", ""));
        }
        return hex;
    }
    bool ReceivedStarting(const std::string& prefix, int count = 1) const {
        int n = 0;
        for (const auto& h : Received())
            if (h.rfind(prefix, 0) == 0) ++n;
        return n >= count;
    }
    std::vector<Json> Boxes() const {
        std::vector<Json> boxes;
        std::ifstream in(dir.path() / "boxes.jsonl");
        for (std::string line; std::getline(in, line);) boxes.push_back(Json::parse(line));
        return boxes;
    }
    void Screenshot(const std::string& name) {
        const std::filesystem::path artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        std::filesystem::create_directories(artifacts);
        test::ChildProcess shot({"/usr/bin/import", "-window", "root", (artifacts / name).string()}, env);
        shot.Wait(10s);
    }

    test::TempDir dir;
    test::XvfbDisplay display{"1280x800x24"};
    std::map<std::string, std::string> env;
    std::unique_ptr<test::ChildProcess> windowManager, panel, server;
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
    StartServer();
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
