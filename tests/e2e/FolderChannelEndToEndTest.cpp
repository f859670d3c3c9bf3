// The folder channel through the client: a folder message from the server
// reaches the folder plug-in (the tests' echo plug-in, found on the loader's
// path), and the plug-in's answer goes back to the server on CSMT.
#include <gtest/gtest.h>

#include <fstream>

#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

TEST(FolderChannelEndToEnd, AFolderMessageComesBackThroughThePlugin) {
    test::ClientSessionHarness harness;
    if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
    const std::string message = "3FEE04DEADBEEF0001";
    const int port = harness.StartServer({"--folder-message", message});
    ASSERT_NE(port, 0);
    const auto file = harness.Dir().Write(
        "app.kiv", "[Farm]\r\nUserName=616E6E\r\n[Session]\r\nScreen_FULL=0\r\nWidth=800\r\nHeight=600\r\n"
                   "[Application]\r\nApp_id=APP0001\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:" +
                       std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                       "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
    auto env = harness.Env();
    env["LD_LIBRARY_PATH"] = std::filesystem::path(ECHO_FOLDER_PLUGIN_PATH).parent_path().string();
    const auto pluginLog = harness.Dir().path() / "plugin.log";
    env["KIV_TEST_FOLDER_LOG"] = pluginLog.string();
    test::ChildProcess client({KIVCLIENT_PATH, file.string()}, env, (harness.Dir().path() / "client.log").string());

    auto answers = [&] {
        std::vector<std::string> hex;
        for (const auto& j : harness.TranscriptEvents("recv"))
            if (j.value("channel", "") == "CSMT") hex.push_back(j.value("hex", ""));
        return hex;
    };
    ASSERT_TRUE(test::WaitFor([&] { return !answers().empty(); }, 40s)) << "no answer on CSMT";
    EXPECT_EQ(answers(), std::vector<std::string>{message});

    std::vector<std::string> calls;
    std::ifstream in(pluginLog);
    for (std::string line; std::getline(in, line);) calls.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(calls, (std::vector<std::string>{"entry", "recv", "send"}));
    std::ifstream again(pluginLog);
    std::string entry, recv;
    std::getline(again, entry);
    std::getline(again, recv);
    EXPECT_EQ(entry.rfind("entry 0 ", 0), std::string::npos) << "the plug-in got no window: " << entry;
    EXPECT_NE(recv.find(" CSMT " + message), std::string::npos) << recv;

    test::ChildProcess request({KIVTOOL_PATH, "send-window-message", "WM_MSG_DISCONNECT_DEBUG"}, harness.Env());
    EXPECT_EQ(request.Wait(10s), 0);
    EXPECT_EQ(client.Wait(20s), 0);
}

}  // namespace
}  // namespace kiv
