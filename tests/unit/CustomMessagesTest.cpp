// The custom family: the server's address, the video programs.
#include "channels/CustomMessages.h"

#include <gtest/gtest.h>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "support/ManualClock.h"
#include "support/SessionFakes.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override { sent.emplace_back(chan, data); }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
    std::vector<std::pair<std::string, TBytes>> sent;
};

struct Runner : ICommandRunner {
    bool RunShellCommand(const std::string& line, const std::string& folder, bool shown) override {
        runs.push_back({line, folder, shown});
        return true;
    }
    struct TRun {
        std::string line, folder;
        bool shown;
    };
    std::vector<TRun> runs;
};

// A custom message of payloadBytes bytes (at least the header), delivered as the router does.
TReceivedMessage Custom(int32_t type, std::string_view text, std::size_t payloadBytes = kCustomMessageSize) {
    TBytes m(payloadBytes, 0);
    std::copy(kCustomSignature.begin(), kCustomSignature.end(), m.begin());
    WriteI32(&m[kCustomTypeOffset], type);
    std::copy_n(text.begin(), std::min(text.size(), payloadBytes - kCustomTextOffset), m.begin() + kCustomTextOffset);
    return UnwrapReceived(m);
}

class CustomMessages : public ::testing::Test {
protected:
    TCustomMessageHandler& Handler() {
        if (!handler)
            handler = std::make_unique<TCustomMessageHandler>(shell, record, &runner, clock,
                                                              TCustomMessageHandler::TContext{dir.path(), [this] { return imeHandle; }});
        return *handler;
    }
    void Deliver(const TReceivedMessage& m) { Handler().ProcessCustomMsg(m.buffer.data(), m.len); }

    test::TempDir dir;
    Host host;
    test::FakeDesktop desktop;
    TReconnectPolicy policy;
    TMsgShell shell{host, desktop, nullptr, policy, TShellContext{}};
    TKIVFile record;
    Runner runner;
    test::ManualClock clock;
    uint64_t imeHandle = 0x1A2B;
    std::unique_ptr<TCustomMessageHandler> handler;
};

TEST_F(CustomMessages, OnlyWholeMessagesAreRead) {
    record.ServerHost = "srv";
    // 1028 and 1029 payload bytes give len 1030, one short; 1030 bytes give 1032.
    for (const auto& [payloadBytes, answered] : {std::pair{1028u, false}, {1029u, false}, {1030u, true}}) {
        host.sent.clear();
        Deliver(Custom(CUSTOM_SERVER_ADDRESS, "", payloadBytes));
        EXPECT_EQ(host.sent.size(), answered ? 1u : 0u) << payloadBytes;
    }
}

TEST_F(CustomMessages, TheAddressIsAnsweredBareInAWholeMessage) {
    record.ServerHost = " 10.1.2.3 ";
    Deliver(Custom(CUSTOM_SERVER_ADDRESS, "ignored"));
    ASSERT_EQ(host.sent.size(), 1u);
    const auto& [channel, payload] = host.sent[0];
    EXPECT_EQ(channel, "CSML");
    ASSERT_EQ(payload.size(), 1032u);  // 1031 bytes in 516 units
    EXPECT_TRUE(std::equal(kCustomSignature.begin(), kCustomSignature.end(), payload.begin()));
    EXPECT_EQ(ReadI32(&payload[kCustomTypeOffset]), CUSTOM_SERVER_ADDRESS);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&payload[kCustomTextOffset])), "10.1.2.3");
    EXPECT_TRUE(std::all_of(payload.begin() + kCustomTextOffset + 8, payload.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(CustomMessages, UnknownTypesAreIgnored) {
    Deliver(Custom(3, "192.168.1.9:8899"));
    Deliver(Custom(0, ""));
    EXPECT_TRUE(host.sent.empty());
    EXPECT_TRUE(runner.runs.empty());
}

TEST(VideoCommands, DisplayCommandLines) {
    const struct {
        const char* text;
        const char* host;
        uint64_t handle;
        const char* expected;
    } cases[] = {
        {"192.168.1.9:8899|a|b|c|d", "srv", 0x1A2B, "vx_sdk/vx_display -v srv:8899 -hw 1A2B"},
        {"192.168.1.9:8899|a|b|c|d", " srv ", 0, "vx_sdk/vx_display -v srv:8899 -hw 00"},
        {"192.168.1.9:8899", "srv", 0x5, "vx_sdk/vx_display -v srv:8899 -hw 05"},
        {"no port here", "srv", 0xABCDEF12, "vx_sdk/vx_display -v srv: -hw ABCDEF12"},
        // Whatever the server puts in, the shell sees one word.
        {"h:1;rm -rf ~|x", "srv", 0x10, "vx_sdk/vx_display -v 'srv:1;rm -rf ~' -hw 10"},
        {"h:it's", "srv", 0x10, "vx_sdk/vx_display -v 'srv:it'\\''s' -hw 10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VideoDisplayCommand(c.host, ParseVideoRequest(c.text).port, c.handle), c.expected) << c.text;
    EXPECT_EQ(ParseVideoRequest("192.168.1.9:8899|x").clientAddress, "192.168.1.9");
    EXPECT_EQ(VideoStreamerCommand(), "vx_sdk/vstreamer");
}

TEST_F(CustomMessages, VideoStartsTheStreamerAndTheDisplayThreeSecondsLater) {
    for (const auto& [vdebug, shown] : {std::pair{"", false}, {"[settings]\nshowcmd=0\n", false}, {"[settings]\nshowcmd=1\n", true}}) {
        if (*vdebug) dir.Write("vdebug.ini", vdebug);
        runner.runs.clear();
        record.ServerHost = "srv";
        Deliver(Custom(CUSTOM_START_VIDEO, "192.168.1.9:8899|a|b|c|d"));
        ASSERT_EQ(runner.runs.size(), 1u);
        EXPECT_EQ(runner.runs[0].line, "vx_sdk/vstreamer");
        EXPECT_EQ(runner.runs[0].folder, dir.path().string());
        EXPECT_EQ(runner.runs[0].shown, shown);
        // The GUI is not held meanwhile; the window that exists when the display starts is the one it gets.
        clock.Advance(kVideoDisplayDelayMs - 1);
        EXPECT_EQ(runner.runs.size(), 1u);
        imeHandle = 0x2C;
        clock.Advance(1);
        ASSERT_EQ(runner.runs.size(), 2u);
        EXPECT_EQ(runner.runs[1].line, "vx_sdk/vx_display -v srv:8899 -hw 2C");
        EXPECT_EQ(runner.runs[1].shown, shown);
        clock.Advance(10000);
        EXPECT_EQ(runner.runs.size(), 2u);
    }
}

}  // namespace
}  // namespace kiv
