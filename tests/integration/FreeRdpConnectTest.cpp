// The control against the demo server: what the server sees of the client's
// settings, the connected and local-disconnect events, and the desktop picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "FreeRdpTestHarness.h"
#include "platform/freerdp/ConnectWait.h"

namespace kiv::test {
namespace {

bool HasEvent(const std::vector<nlohmann::json>& lines, const std::string& name, std::size_t count = 1) {
    std::size_t n = 0;
    for (const auto& l : lines) n += l.value("event", "") == name;
    return n >= count;
}

TEST(FreeRdpConnect, ServerSeesTheChannelsWithTheirOptions) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    EXPECT_EQ(f.events.Kinds(), (std::vector<std::string>{"connecting", "connected"}));
    EXPECT_TRUE(f.control->IsConnected());
    ASSERT_TRUE(server.WaitForTranscript([](const auto& l) { return HasEvent(l, "channel", 3); }, 5s));

    std::map<std::string, uint64_t> options;
    for (const auto& channel : server.Events("channel")) {
        options[channel.value("name", "")] = channel.value("options", uint64_t{0});
        if (channel.value("name", "").rfind("CSM", 0) == 0) {
            EXPECT_TRUE(channel.value("opened", false));
        }
    }
    EXPECT_EQ(options["CSML"], 0x08200000u);
    EXPECT_EQ(options["CSMT"], 0x08800000u);
    EXPECT_EQ(options["CSMP"], 0x08200000u);
}

// The library's pauses between its reads while connecting end when the server's
// answer arrives (the test program exports the client's Sleep as the client does).
TEST(FreeRdpConnect, ConnectPausesEndWhenTheServerAnswers) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    // A server that answers before the library's first pause leaves nothing to
    // cut short, so the pauses are counted over a few connections.
    const uint64_t before = ConnectPausesCutShort();
    for (int attempt = 0; attempt < 5 && ConnectPausesCutShort() == before; ++attempt) {
        ControlFixture f;
        f.ConfigureFor("127.0.0.1", server.Port());
        f.control->Connect();
        ASSERT_TRUE(f.WaitConnected());
    }
    EXPECT_GT(ConnectPausesCutShort(), before);
}

TEST(FreeRdpConnect, ServerSeesTheLogonFieldsAndTheRoutingToken) {
    DemoServerProcess::Options secrets;
    secrets.extraArguments = {"--transcript-secrets"};
    DemoServerProcess server(secrets);
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    IAdvancedSettings* advanced = f.control->AdvancedSettings(TAdvancedSettingsLevel::Level3);
    f.control->SetUserName("CORP\\ann");
    f.control->SetDomain("CORP");
    advanced->SetClearTextPassword("p@ss word");
    f.control->SecuredSettings()->SetStartProgram("\"C:\\Shell\\kshell.exe\" /N:APP00000000 /U:ann /P: /S:-1");
    f.control->SecuredSettings()->SetWorkDir("C:\\Shell\\");
    advanced->SetPerformanceFlags(0x06F);
    f.control->SetColorDepth(16);
    f.control->SetDesktopWidth(800);
    f.control->SetDesktopHeight(600);
    const std::string cookie = std::string("AGS:SID00000000") + '\0' + "\r\n";
    advanced->SetLoadBalanceInfo(TBytes(cookie.begin(), cookie.end()));
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    ASSERT_TRUE(server.WaitForTranscript([](const auto& l) { return HasEvent(l, "logon"); }, 5s));

    const nlohmann::json logon = server.Events("logon").front();
    EXPECT_EQ(logon.value("user", ""), "ann");
    EXPECT_EQ(logon.value("domain", ""), "CORP");
    EXPECT_EQ(logon.value("password", ""), "p@ss word");
    EXPECT_EQ(logon.value("alternate_shell", ""), "\"C:\\Shell\\kshell.exe\" /N:APP00000000 /U:ann /P: /S:-1");
    EXPECT_EQ(logon.value("working_dir", ""), "C:\\Shell\\");
    EXPECT_EQ(logon.value("routing_token_hex", ""), ToHex(TBytes(cookie.begin(), cookie.end())));
    EXPECT_EQ(logon.value("color_depth", 0), 16);
    EXPECT_EQ(logon.value("width", 0), 800);
    EXPECT_EQ(logon.value("height", 0), 600);
    // 2.11 sends the four bits it can express of 0x6F.
    EXPECT_EQ(logon.value("performance_flags", 0), 0x0F);
    EXPECT_EQ(logon.value("security", ""), "tls");
}

// The sockets this process holds, by their inode.
std::set<std::string> OpenSockets() {
    std::set<std::string> sockets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        if (target.rfind("socket:", 0) == 0) sockets.insert(target);
    }
    return sockets;
}

TEST(FreeRdpConnect, LocalDisconnectIsReasonOneAndReleasesTheConnection) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    const std::set<std::string> before = OpenSockets();
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    EXPECT_GT(OpenSockets().size(), before.size());
    f.control->Disconnect();
    EXPECT_EQ(f.WaitDisconnected(), 1);
    EXPECT_EQ(f.control->ExtendedDisconnectReason(), 0);
    EXPECT_FALSE(f.control->IsConnected());
    EXPECT_EQ(f.events.Count("disconnected"), 1u);
    // By the disconnected event the connection's socket is closed.
    EXPECT_EQ(OpenSockets(), before);
}

TEST(FreeRdpConnect, TheViewGetsTheDesktopAndItsDamage) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    ASSERT_TRUE(f.RunUntil([&] { return !f.display.damage.empty(); }, 5s));
    ASSERT_FALSE(f.display.sizes.empty());
    EXPECT_EQ(f.display.sizes.front(), (std::pair<int32_t, int32_t>{1024, 768}));
    for (const TRect& r : f.display.damage) {
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, 1024);
        EXPECT_LE(r.y + r.height, 768);
    }
    // The demo desktop is painted "demo blue" 0x2E5C8A (stored B, G, R, A) with a grid every 64 pixels.
    ASSERT_TRUE(f.RunUntil(
        [&] {
            bool blue = false;
            f.control->ReadFrame([&](const TFrameView& frame) {
                const uint8_t* p = frame.pixels + 10 * frame.stride + 10 * 4;
                blue = frame.width == 1024 && frame.height == 768 && p[0] == 0x8A && p[1] == 0x5C && p[2] == 0x2E;
            });
            return blue;
        },
        5s));
}

TEST(FreeRdpConnect, ReadFrameAndInputWithoutAConnectionDoNothing) {
    ControlFixture f;
    bool called = false;
    f.control->ReadFrame([&](const TFrameView&) { called = true; });
    f.control->SendMouseEvent(0x0800, 10, 10);
    f.control->SendKeyEvent(38, true);
    f.control->SendUnicodeKey(0x4E2D, true);
    f.control->SendOnVirtualChannel("CSML", TBytes{1, 2, 3});
    EXPECT_FALSE(called);
    EXPECT_TRUE(f.events.events.empty());
}

}  // namespace
}  // namespace kiv::test

namespace kiv::test {
namespace {

TEST(FreeRdpConnect, DeviceRedirectionAndSoundDoNotStandInTheWay) {
    DemoServerProcess server({});
    ASSERT_TRUE(server.Started()) << server.StartError();
    ControlFixture f;
    f.ConfigureFor("127.0.0.1", server.Port());
    IAdvancedSettings* advanced = f.control->AdvancedSettings(TAdvancedSettingsLevel::Level7);
    advanced->SetRedirectDrives(true);
    advanced->SetRedirectPrinters(true);
    advanced->SetRedirectPorts(true);
    advanced->SetRedirectSmartCards(true);
    advanced->SetAudioCaptureRedirectionMode(true);
    advanced->SetPluginDlls("rusbrdr.dll,mibprinterclient.dll");
    f.control->SecuredSettings()->SetAudioRedirectionMode(0);
    f.control->Connect();
    ASSERT_TRUE(f.WaitConnected());
    ASSERT_TRUE(server.WaitForTranscript([](const auto& l) { return HasEvent(l, "channel", 3); }, 5s));
    bool deviceChannel = false;
    for (const auto& channel : server.Events("channel")) deviceChannel |= channel.value("name", "") == "rdpdr";
    EXPECT_TRUE(deviceChannel);
}

}  // namespace
}  // namespace kiv::test
