#include <gtest/gtest.h>

#include "channels/ChannelRouter.h"
#include "session/RdpClient.h"
#include "session/RecordingControl.h"
#include "support/FakeMachineSettings.h"

namespace kiv {
namespace {

struct Host : IChannelHost {
    void OnChannelSendData(const std::string&, const TBytes&) override {}
    void OnSessionStateChanged(uint16_t event, int32_t reason) override { events.emplace_back(event, reason); }
    TWindowHandle MainFormHandle() const override { return 0x4200007; }
    std::vector<std::pair<uint16_t, int32_t>> events;
};

struct RecordingHandler : TMsgBase {
    using TMsgBase::TMsgBase;
    void OnRecvbuffer(const uint8_t* buffer, int32_t len) override {
        lens.push_back(len);
        firstBytes.emplace_back(buffer, buffer + 3);
    }
    std::vector<int32_t> lens;
    std::vector<TBytes> firstBytes;
};

struct ThrowingHandler : TMsgBase {
    using TMsgBase::TMsgBase;
    void OnRecvbuffer(const uint8_t*, int32_t) override { throw std::runtime_error("bad message"); }
};

struct Folder : IFolderChannel {
    void OnFolderData(const std::string& chan, const TBytes& data) override { got.emplace_back(chan, data); }
    std::vector<std::pair<std::string, TBytes>> got;
};

TBytes Payload(const TSignature& s, std::size_t size) {
    TBytes p(size, 0x11);
    std::copy(s.begin(), s.end(), p.begin());
    return p;
}

class Router : public ::testing::Test {
protected:
    void SetUp() override {
        router.SetHandlers({&shell, &sml, &tray, &folder, [this](const uint8_t*, int32_t len) { customLens.push_back(len); }});
    }
    Host host;
    RecordingHandler shell{host, "CSML", kShellSignature};
    RecordingHandler sml{host, "CSML", kSmlSignature};
    RecordingHandler tray{host, "CSML", kTraySignature};
    Folder folder;
    std::vector<int32_t> customLens;
    TChannelRouter router;
};

TEST_F(Router, FamiliesReachTheirHandlersOnBothMessageChannels) {
    router.OnChannelReceivedData("CSML", Payload(kShellSignature, 17));
    router.OnChannelReceivedData("CSMP", Payload(kSmlSignature, 37));
    router.OnChannelReceivedData("CSML", Payload(kTraySignature, 86));
    router.OnChannelReceivedData("CSMP", Payload(kCustomSignature, 1031));
    router.OnChannelReceivedData("CSMT", Payload(kFolderSignature, 9));
    EXPECT_EQ(shell.lens, std::vector<int32_t>{18});
    EXPECT_EQ(sml.lens, std::vector<int32_t>{38});  // 37 bytes: rounded down to 36, plus 2
    EXPECT_EQ(tray.lens, std::vector<int32_t>{88});
    EXPECT_EQ(customLens, std::vector<int32_t>{1032});
    ASSERT_EQ(folder.got.size(), 1u);
    EXPECT_EQ(folder.got[0].second.size(), 9u);  // whole and unchanged
    for (const TChannelFamily family : {TChannelFamily::Shell, TChannelFamily::Seamless, TChannelFamily::Tray,
                                        TChannelFamily::Custom, TChannelFamily::Folder})
        EXPECT_EQ(router.Received(family), 1u) << FamilyName(family);
}

TEST_F(Router, MisplacedOrUnknownPayloadsAreDropped) {
    router.OnChannelReceivedData("CSMT", Payload(kSmlSignature, 40));
    router.OnChannelReceivedData("CSML", Payload(kFolderSignature, 40));
    router.OnChannelReceivedData("RDPDR", Payload(kShellSignature, 40));
    TBytes zeroFirst = Payload(kShellSignature, 40);
    zeroFirst[0] = 0;
    router.OnChannelReceivedData("CSML", zeroFirst);
    router.OnChannelReceivedData("CSML", TBytes{0x5A, 0x2E});  // shorter than a signature
    router.OnChannelReceivedData("CSML", {});
    EXPECT_TRUE(shell.lens.empty());
    EXPECT_TRUE(sml.lens.empty());
    EXPECT_TRUE(folder.got.empty());
    EXPECT_EQ(RouteOf("CSMT", Payload(kSmlSignature, 40)).family, TChannelFamily::Dropped);
    EXPECT_EQ(RouteOf("CSMP", Payload(kTraySignature, 40)).family, TChannelFamily::Tray);
    EXPECT_EQ(router.Received(TChannelFamily::Dropped), 6u);  // counted, for the soak's comparison
    EXPECT_EQ(router.Received(TChannelFamily::Seamless), 0u);
}

TEST_F(Router, AMissingHandlerDropsItsFamily) {
    router.SetHandlers({&shell, nullptr, nullptr, nullptr, nullptr});
    router.OnChannelReceivedData("CSML", Payload(kSmlSignature, 40));
    router.OnChannelReceivedData("CSML", Payload(kCustomSignature, 1031));
    router.OnChannelReceivedData("CSMT", Payload(kFolderSignature, 9));
    router.OnChannelReceivedData("CSML", Payload(kShellSignature, 17));
    EXPECT_EQ(shell.lens.size(), 1u);
}

TEST_F(Router, AHandlerExceptionIsTrappedAndTheNextPayloadStillArrives) {
    ThrowingHandler broken{host, "CSML", kSmlSignature};
    router.SetHandlers({&shell, &broken, nullptr, nullptr, nullptr});
    EXPECT_NO_THROW(router.OnChannelReceivedData("CSML", Payload(kSmlSignature, 40)));
    router.OnChannelReceivedData("CSML", Payload(kShellSignature, 17));
    EXPECT_EQ(shell.lens.size(), 1u);
}

struct Owner : IRdpClientOwner {
    void OnSessionStateChanged(uint16_t e, int32_t r) override { events.emplace_back(e, r); }
    void OnChannelReceivedData(const std::string&, const TBytes&) override {}
    void CloseSessionWindow() override {}
    void EndApplication() override {}
    bool RunRepairTool(const std::string&) override { return false; }
    std::vector<std::pair<uint16_t, int32_t>> events;
};

struct NoPrompt : IMessagePrompt {
    TPromptAnswer AskOkCancel(const std::string&, const std::string&) override { return TPromptAnswer::Cancel; }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

TEST(ChannelSending, SendsAreDroppedUntilTheControlReportsAConnection) {
    TRecordingControl control;
    Owner owner;
    test::FakeMachineSettings machine;
    NoPrompt prompt;
    TRdpClient client(control, owner, std::make_unique<TRecordingPortMapper>(control.MutableCalls()), machine, prompt,
                      nullptr, {});
    TChannelRouter router;
    Host host;
    TMsgBase sender(host, "CSML", kShellSignature);
    router.OnChannelSendData("CSML", TBytes(22, 1));  // no wrapper yet
    router.SetRdpClient(&client);
    const std::size_t before = control.Calls().size();
    router.OnChannelSendData("CSML", TBytes(22, 1));
    EXPECT_EQ(control.Calls().size(), before);
    client.OnConnected();
    router.OnChannelSendData("CSML", TBytes(22, 1));
    ASSERT_EQ(control.Calls().size(), before + 1);
    EXPECT_EQ(control.Calls().back().name, "SendOnVirtualChannel:CSML");
    client.OnDisconnected(2308);
    router.OnChannelSendData("CSML", TBytes(22, 1));  // the session is over
    EXPECT_EQ(control.Calls().size(), before + 1);
}

TEST(MsgBase, ForwardsStateAndSendsOnItsChannel) {
    struct SendHost : Host {
        void OnChannelSendData(const std::string& chan, const TBytes& data) override { sent.emplace_back(chan, data); }
        std::vector<std::pair<std::string, TBytes>> sent;
    } host;
    TMsgBase folder(host, "CSMT", kFolderSignature);
    folder.SendData(TBytes{1, 2, 3, 0});
    folder.ForwardSessionState(0x4001, 7, 99);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].first, "CSMT");
    EXPECT_EQ(host.events, (std::vector<std::pair<uint16_t, int32_t>>{{0x4001, 7}}));
    EXPECT_EQ(folder.GetMainFormHandle(), 0x4200007u);
}

}  // namespace
}  // namespace kiv
