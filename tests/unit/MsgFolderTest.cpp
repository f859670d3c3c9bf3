#include <gtest/gtest.h>

#include <fstream>

#include "channels/ChannelRouter.h"
#include "desktop/MsgFolder.h"
#include "infra/DebugLog.h"
#include "platform/linux/FolderPluginLoader.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

struct RecordingHost : IChannelHost {
    void OnChannelSendData(const std::string& chanName, const TBytes& data) override {
        sent.emplace_back(chanName, data);
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 0x1234; }
    std::vector<std::pair<std::string, TBytes>> sent;
};

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Pointer(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

class FolderChannel : public ::testing::Test {
protected:
    test::TempDir files;
    test::ScopedEnv pluginLog{"KIV_TEST_FOLDER_LOG", (files.path() / "plugin.log").string()};
    RecordingHost host;
};

// The echo plug-in sends back what it receives: its log and the host show the
// entry point's arguments, the received message, and the send, in this order.
TEST_F(FolderChannel, ThePluginGetsItsEntryCallTheMessagesAndSendsThroughTheClient) {
    TFolderPluginLoader plugin(ECHO_FOLDER_PLUGIN_PATH);
    TMsgFolder folder(host, &plugin);
    EXPECT_EQ(folder.ChannelName, "CSMT");
    ASSERT_NE(FolderRecvProc, nullptr);
    TChannelRouter router;
    TChannelRouter::THandlers handlers;
    handlers.folder = &folder;
    router.SetHandlers(handlers);
    const TBytes message{0x3F, 0xEE, 0x04, 0x01, 0x00, 0xFF, 0x7A};  // odd length, a zero inside
    router.OnChannelReceivedData("CSMT", message);
    router.OnChannelReceivedData("CSML", message);  // the folder family travels on CSMT only

    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].first, "CSMT");
    EXPECT_EQ(host.sent[0].second, message);
    const auto lines = Lines(files.path() / "plugin.log");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "entry 4660 " + Pointer(reinterpret_cast<const void*>(&FolderSendProc)) + " " +
                            Pointer(&FolderRecvProc));
    EXPECT_EQ(lines[1], "recv " + Pointer(static_cast<IChannelHost*>(&host)) + " CSMT 3FEE040100FF7A");
    EXPECT_EQ(lines[2], "send 0");
}

TEST_F(FolderChannel, WithoutThePluginEachFolderMessageIsDroppedWithOneLogLine) {
    SetLogFilePath(files.path() / "KivClient.log");
    const bool mainSwitch = DebugSwitches[dmMain];
    DebugSwitches[dmMain] = true;
    TFolderPluginLoader plugin(files.path() / "libPubDir_Client.so");  // not there
    {
        TMsgFolder folder(host, &plugin);
        TChannelRouter router;
        TChannelRouter::THandlers handlers;
        handlers.folder = &folder;
        router.SetHandlers(handlers);
        const auto before = Lines(files.path() / "KivClient.log").size();
        router.OnChannelReceivedData("CSMT", TBytes{0x3F, 0xEE, 0x04, 0x01});
        router.OnChannelReceivedData("CSMT", TBytes{0x3F, 0xEE, 0x04});
        const auto lines = Lines(files.path() / "KivClient.log");
        ASSERT_EQ(lines.size(), before + 2);
        EXPECT_NE(lines.back().find("[TfrmClientForm.OnChannelReceivedData]Exception:"), std::string::npos);
        // A send of the plug-in that outlived its handler goes nowhere.
    }
    EXPECT_EQ(FolderSendProc(nullptr, nullptr), 0);
    EXPECT_TRUE(host.sent.empty());
    DebugSwitches[dmMain] = mainSwitch;
    SetLogFilePath(DefaultLogFilePath());
}

}  // namespace
}  // namespace kiv
