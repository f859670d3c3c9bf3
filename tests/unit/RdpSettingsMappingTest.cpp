#include "session/RdpSettingsMapping.h"

#include <gtest/gtest.h>

#include <set>

namespace kiv {
namespace {

TPlanEnvironment Env() {
    TPlanEnvironment env;
    env.homeFolder = "/home/ann";
    env.configPath = "/home/ann/.config/VYNClient6.0/freerdp";
    env.connectTimeoutMs = 20000;
    return env;
}

using TValue = std::variant<bool, uint32_t, std::string>;

TValue ValueOf(const TRdpConnectPlan& plan, const std::string& name) {
    const TLibrarySetting* setting = FindLibrarySetting(plan, name);
    if (!setting) {
        ADD_FAILURE() << name << " is not set";
        return TValue{};
    }
    return setting->value;
}

bool BoolOf(const TRdpConnectPlan& plan, const std::string& name) {
    const TValue v = ValueOf(plan, name);
    EXPECT_TRUE(std::holds_alternative<bool>(v)) << name;
    return std::holds_alternative<bool>(v) && std::get<bool>(v);
}

TEST(RdpSettingsMapping, ConnectionAndLogonFields) {
    TControlSettings s;
    s.server = "rdp.example.org";
    s.rdpPort = 5872;
    s.userName = "bob";
    s.domain = "corp";
    s.clearTextPassword = "pw";
    s.colorDepth = 16;
    s.desktopWidth = 1280;
    s.desktopHeight = 1024;
    s.startProgram = "\"C:\\Shell\\shell.exe\" /N:APP00000000";
    s.workDir = "C:\\Shell\\";
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(ValueOf(plan, "ServerHostname"), TValue(std::string("rdp.example.org")));
    EXPECT_EQ(ValueOf(plan, "ServerPort"), TValue(uint32_t{5872}));
    EXPECT_EQ(ValueOf(plan, "Username"), TValue(std::string("bob")));
    EXPECT_EQ(ValueOf(plan, "Domain"), TValue(std::string("corp")));
    EXPECT_EQ(ValueOf(plan, "Password"), TValue(std::string("pw")));
    EXPECT_TRUE(BoolOf(plan, "AutoLogonEnabled"));
    EXPECT_EQ(ValueOf(plan, "ColorDepth"), TValue(uint32_t{16}));
    EXPECT_EQ(ValueOf(plan, "DesktopWidth"), TValue(uint32_t{1280}));
    EXPECT_EQ(ValueOf(plan, "DesktopHeight"), TValue(uint32_t{1024}));
    EXPECT_EQ(ValueOf(plan, "AlternateShell"), TValue(s.startProgram));
    EXPECT_EQ(ValueOf(plan, "ShellWorkingDirectory"), TValue(s.workDir));
    EXPECT_EQ(ValueOf(plan, "ConfigPath"), TValue(Env().configPath));
    // The library's own TCP timeout stays behind the watchdog's.
    EXPECT_EQ(ValueOf(plan, "TcpConnectTimeout"), TValue(uint32_t{25000}));
}

TEST(RdpSettingsMapping, NoConfigFolderLeavesTheLibrarysOwn) {
    TPlanEnvironment env = Env();
    env.configPath.clear();
    EXPECT_EQ(FindLibrarySetting(PlanRdpConnection(TControlSettings{}, env), "ConfigPath"), nullptr);
}

TEST(RdpSettingsMapping, DomainInTheUserNameIsSplitOff) {
    TControlSettings s;
    s.userName = "corp\\bob";
    s.domain = "corp";
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(ValueOf(plan, "Username"), TValue(std::string("bob")));
    EXPECT_EQ(ValueOf(plan, "Domain"), TValue(std::string("corp")));
    s.domain = "";
    plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(ValueOf(plan, "Domain"), TValue(std::string("corp")));
    s.userName = "\\bob";  // an empty domain part keeps the domain given
    s.domain = "other";
    plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(ValueOf(plan, "Username"), TValue(std::string("bob")));
    EXPECT_EQ(ValueOf(plan, "Domain"), TValue(std::string("other")));
}

TEST(RdpSettingsMapping, EmptyPasswordIsNotSentAndNoAutoLogon) {
    TControlSettings s;
    s.userName = "bob";
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(FindLibrarySetting(plan, "Password"), nullptr);
    EXPECT_FALSE(BoolOf(plan, "AutoLogonEnabled"));
}

TEST(RdpSettingsMapping, SecurityFollowsCredSsp) {
    TControlSettings s;
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "TlsSecurity"));
    EXPECT_FALSE(BoolOf(plan, "NlaSecurity"));
    EXPECT_FALSE(BoolOf(plan, "RdpSecurity"));
    s.enableCredSspSupport = true;
    plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "NlaSecurity"));
    EXPECT_TRUE(BoolOf(plan, "TlsSecurity"));
}

TEST(RdpSettingsMapping, PerformanceFlagsBecomeTheSixBooleansTheLibrarySends) {
    TControlSettings s;
    s.performanceFlags = 0x06F;  // what an all-zero connection record gives
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "DisableWallpaper"));
    EXPECT_TRUE(BoolOf(plan, "DisableFullWindowDrag"));
    EXPECT_TRUE(BoolOf(plan, "DisableMenuAnims"));
    EXPECT_TRUE(BoolOf(plan, "DisableThemes"));
    EXPECT_FALSE(BoolOf(plan, "AllowFontSmoothing"));
    EXPECT_FALSE(BoolOf(plan, "AllowDesktopComposition"));
    // Cursor shadow and blinking cannot be sent; they are not set at all.
    EXPECT_EQ(FindLibrarySetting(plan, "DisableCursorShadow"), nullptr);
    EXPECT_EQ(FindLibrarySetting(plan, "DisableCursorBlinking"), nullptr);
    EXPECT_EQ(FindLibrarySetting(plan, "PerformanceFlags"), nullptr);

    s.performanceFlags = 0x180;
    plan = PlanRdpConnection(s, Env());
    EXPECT_FALSE(BoolOf(plan, "DisableWallpaper"));
    EXPECT_FALSE(BoolOf(plan, "DisableThemes"));
    EXPECT_TRUE(BoolOf(plan, "AllowFontSmoothing"));
    EXPECT_TRUE(BoolOf(plan, "AllowDesktopComposition"));
}

TEST(RdpSettingsMapping, AudioModes) {
    TControlSettings s;
    s.audioRedirectionMode = 0;
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "AudioPlayback"));
    EXPECT_FALSE(BoolOf(plan, "RemoteConsoleAudio"));
    s.audioRedirectionMode = 1;
    plan = PlanRdpConnection(s, Env());
    EXPECT_FALSE(BoolOf(plan, "AudioPlayback"));
    EXPECT_TRUE(BoolOf(plan, "RemoteConsoleAudio"));
    s.audioRedirectionMode = 2;
    plan = PlanRdpConnection(s, Env());
    EXPECT_FALSE(BoolOf(plan, "AudioPlayback"));
    EXPECT_FALSE(BoolOf(plan, "RemoteConsoleAudio"));
    EXPECT_FALSE(BoolOf(plan, "AudioCapture"));
    s.audioCaptureRedirectionMode = true;
    plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "AudioCapture"));
}

TEST(RdpSettingsMapping, DriveRedirectionSharesHomeAndRoot) {
    TControlSettings s;
    s.redirectDrives = true;
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "RedirectDrives"));
    EXPECT_EQ(plan.drives, (std::vector<TDriveShare>{{"home", "/home/ann"}, {"root", "/"}}));
    // Without a home folder only the root is shared.
    TPlanEnvironment env = Env();
    env.homeFolder.clear();
    plan = PlanRdpConnection(s, env);
    EXPECT_EQ(plan.drives, (std::vector<TDriveShare>{{"root", "/"}}));
    s.redirectDrives = false;
    plan = PlanRdpConnection(s, Env());
    EXPECT_FALSE(BoolOf(plan, "RedirectDrives"));
    EXPECT_TRUE(plan.drives.empty());
}

TEST(RdpSettingsMapping, DeviceRedirections) {
    TControlSettings s;
    s.redirectPrinters = true;
    s.redirectPorts = true;
    s.redirectSmartCards = true;
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "RedirectPrinters"));
    EXPECT_TRUE(BoolOf(plan, "RedirectSerialPorts"));
    EXPECT_TRUE(BoolOf(plan, "RedirectParallelPorts"));
    EXPECT_TRUE(BoolOf(plan, "RedirectSmartCards"));
    EXPECT_EQ(FindLibrarySetting(plan, "DeviceRedirection"), nullptr);  // the library decides
}

TEST(RdpSettingsMapping, DisableRdpdrTurnsEveryDeviceOff) {
    TControlSettings s;
    s.redirectDrives = s.redirectPrinters = s.redirectPorts = s.redirectSmartCards = true;
    s.disableRdpdr = 1;
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    for (const char* name : {"RedirectDrives", "RedirectPrinters", "RedirectSerialPorts", "RedirectParallelPorts",
                             "RedirectSmartCards", "DeviceRedirection"})
        EXPECT_FALSE(BoolOf(plan, name)) << name;
    EXPECT_TRUE(plan.drives.empty());
}

TEST(RdpSettingsMapping, SessionBehaviour) {
    TControlSettings s;
    s.enableAutoReconnect = false;
    s.smartSizing = true;
    s.keyboardHookMode = 1;
    s.networkConnectionType = 2;
    s.compress = 0;
    s.cachePersistenceActive = 1;
    TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_FALSE(BoolOf(plan, "AutoReconnectionEnabled"));
    EXPECT_TRUE(BoolOf(plan, "SmartSizing"));
    EXPECT_EQ(ValueOf(plan, "KeyboardHook"), TValue(uint32_t{1}));
    EXPECT_EQ(ValueOf(plan, "ConnectionType"), TValue(uint32_t{2}));
    EXPECT_FALSE(BoolOf(plan, "CompressionEnabled"));
    EXPECT_TRUE(BoolOf(plan, "BitmapCachePersistEnabled"));
    s.compress = 1;
    s.cachePersistenceActive = 0;
    s.enableAutoReconnect = true;
    plan = PlanRdpConnection(s, Env());
    EXPECT_TRUE(BoolOf(plan, "AutoReconnectionEnabled"));
    EXPECT_TRUE(BoolOf(plan, "CompressionEnabled"));
    EXPECT_FALSE(BoolOf(plan, "BitmapCachePersistEnabled"));
}

TEST(RdpSettingsMapping, RoutingTokenIsPassedAsBytes) {
    TControlSettings s;
    s.loadBalanceInfo = {'A', 'G', 'S', ':', 'x', 0, '\r', '\n'};
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(plan.routingToken, s.loadBalanceInfo);
}

TEST(RdpSettingsMapping, PluginNamesAreKeptAndTurnedIntoAddInCandidates) {
    TControlSettings s;
    s.pluginDlls = "C:\\Program Files\\Usb\\RUSBRDR.DLL, mibprinterclient.dll,,rusbrdr.dll ,/opt/x/libfoo.so";
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    EXPECT_EQ(plan.pluginNames,
              (std::vector<std::string>{"C:\\Program Files\\Usb\\RUSBRDR.DLL", "mibprinterclient.dll", "rusbrdr.dll",
                                        "/opt/x/libfoo.so"}));
    EXPECT_EQ(plan.addInCandidates, (std::vector<std::string>{"rusbrdr", "mibprinterclient", "libfoo"}));
    EXPECT_TRUE(PlanRdpConnection(TControlSettings{}, Env()).pluginNames.empty());
}

TEST(RdpSettingsMapping, ChannelsKeepTheirOptionsAndBadNamesAreLeftOut) {
    TControlSettings s;
    s.channels = {{"CSML", 0x08200000}, {"CSMT", 0x08800000}, {"CSMP", 0x08200000},
                  {"TOOLONGX", 1},      {"", 2},              {"CSML", 7}};
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    ASSERT_EQ(plan.channels.size(), 3u);
    EXPECT_EQ(plan.channels[0].name, "CSML");
    EXPECT_EQ(plan.channels[0].options, 0x08200000u);
    EXPECT_EQ(plan.channels[1].name, "CSMT");
    EXPECT_EQ(plan.channels[1].options, 0x08800000u);
    EXPECT_EQ(plan.channels[2].name, "CSMP");
    EXPECT_TRUE(IsValidChannelName("ABCDEFG"));
    EXPECT_FALSE(IsValidChannelName("A B"));
    EXPECT_FALSE(IsValidChannelName("ABCDEFGH"));
}

TEST(RdpSettingsMapping, EachSettingIsAppliedOnce) {
    TControlSettings s;
    s.redirectDrives = true;
    s.clearTextPassword = "x";
    const TRdpConnectPlan plan = PlanRdpConnection(s, Env());
    std::set<std::string> names;
    for (const auto& setting : plan.settings) EXPECT_TRUE(names.insert(setting.name).second) << setting.name;
}

}  // namespace
}  // namespace kiv
