// The connect plan against the real library's settings: every name the mapping
// uses exists in FreeRDP 2.11 with the type the mapping gives it.
#include <freerdp/settings.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/freerdp/FreeRdpSettingsApply.h"
#include "session/RdpSettingsMapping.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

struct SettingsDeleter {
    void operator()(rdpSettings* s) const { freerdp_settings_free(s); }
};
using TSettingsPtr = std::unique_ptr<rdpSettings, SettingsDeleter>;

TControlSettings EverythingSet() {
    TControlSettings s;
    s.server = "rdp.example.org";
    s.rdpPort = 5872;
    s.userName = "corp\\bob";
    s.domain = "corp";
    s.clearTextPassword = "pw";
    s.colorDepth = 24;
    s.desktopWidth = 1280;
    s.desktopHeight = 720;
    s.smartSizing = true;
    s.enableCredSspSupport = true;
    s.audioCaptureRedirectionMode = true;
    s.audioRedirectionMode = 1;
    s.performanceFlags = 0x18F;
    s.redirectDrives = s.redirectPrinters = s.redirectPorts = s.redirectSmartCards = true;
    s.networkConnectionType = 2;
    s.keyboardHookMode = 1;
    s.cachePersistenceActive = 1;
    s.startProgram = "\"C:\\x.exe\" /N:APP00000000";
    s.workDir = "C:\\";
    s.loadBalanceInfo = {'A', 'G', 'S', ':', 'x', 0, '\r', '\n'};
    return s;
}

TEST(FreeRdpSettingsApply, EveryPlannedSettingExistsWithItsType) {
    TPlanEnvironment env;
    env.homeFolder = "/home/ann";
    env.configPath = "/tmp/kiv-config-never-created";
    TSettingsPtr settings(freerdp_settings_new(0));
    ASSERT_TRUE(settings);
    for (const TControlSettings& s : {TControlSettings{}, EverythingSet()}) {
        std::string error;
        EXPECT_TRUE(ApplyLibrarySettings(settings.get(), PlanRdpConnection(s, env), error)) << error;
    }
    rdpSettings* applied = settings.get();
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_ServerHostname), "rdp.example.org");
    EXPECT_EQ(freerdp_settings_get_uint32(applied, FreeRDP_ServerPort), 5872u);
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_Username), "bob");
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_Domain), "corp");
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_Password), "pw");
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_ConfigPath), env.configPath.c_str());
    EXPECT_EQ(freerdp_settings_get_uint32(applied, FreeRDP_ColorDepth), 24u);
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_NlaSecurity));
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_TlsSecurity));
    EXPECT_FALSE(freerdp_settings_get_bool(applied, FreeRDP_RdpSecurity));
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_RemoteConsoleAudio));
    EXPECT_FALSE(freerdp_settings_get_bool(applied, FreeRDP_AudioPlayback));
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_AudioCapture));
    EXPECT_EQ(freerdp_settings_get_uint32(applied, FreeRDP_KeyboardHook), 1u);
    EXPECT_EQ(freerdp_settings_get_uint32(applied, FreeRDP_ConnectionType), 2u);
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_BitmapCachePersistEnabled));
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_AlternateShell), "\"C:\\x.exe\" /N:APP00000000");
    EXPECT_STREQ(freerdp_settings_get_string(applied, FreeRDP_ShellWorkingDirectory), "C:\\");
    EXPECT_TRUE(freerdp_settings_get_bool(applied, FreeRDP_RedirectSerialPorts));
    // 0x18F: wallpaper, drag, menus, themes off; font smoothing and composition on.
    freerdp_performance_flags_make(applied);
    EXPECT_EQ(freerdp_settings_get_uint32(applied, FreeRDP_PerformanceFlags), 0x18Fu);
    ASSERT_EQ(applied->LoadBalanceInfoLength, 8u);
    EXPECT_EQ(std::memcmp(applied->LoadBalanceInfo, "AGS:x\0\r\n", 8), 0);
    EXPECT_EQ(freerdp_settings_get_string(applied, FreeRDP_ClientAddress), nullptr);
}

TEST(FreeRdpSettingsApply, UnknownNamesAndWrongTypesAreRefused) {
    TSettingsPtr settings(freerdp_settings_new(0));
    ASSERT_TRUE(settings);
    TRdpConnectPlan plan;
    plan.settings = {{"NoSuchSetting", true}};
    std::string error;
    EXPECT_FALSE(ApplyLibrarySettings(settings.get(), plan, error));
    EXPECT_NE(error.find("NoSuchSetting"), std::string::npos);
    plan.settings = {{"ServerPort", std::string("3389")}};
    EXPECT_FALSE(ApplyLibrarySettings(settings.get(), plan, error));
    EXPECT_NE(error.find("ServerPort"), std::string::npos);
}

TEST(FreeRdpSettingsApply, DrivesAreSharedUnderTheirNames) {
    TSettingsPtr settings(freerdp_settings_new(0));
    ASSERT_TRUE(settings);
    test::TempDir home;
    TRdpConnectPlan plan;
    plan.drives = {{"home", home.path().string()}, {"root", "/"}, {"gone", (home.path() / "missing").string()}};
    ASSERT_TRUE(AddDriveShares(settings.get(), plan));
    // A folder that is not there is left out; the others are shared.
    ASSERT_EQ(freerdp_settings_get_uint32(settings.get(), FreeRDP_DeviceCount), 2u);
    auto* homeDrive = reinterpret_cast<RDPDR_DRIVE*>(freerdp_device_collection_find(settings.get(), "home"));
    auto* root = reinterpret_cast<RDPDR_DRIVE*>(freerdp_device_collection_find(settings.get(), "root"));
    ASSERT_TRUE(homeDrive && root);
    EXPECT_EQ(homeDrive->Path, home.path().string());
    EXPECT_EQ(homeDrive->Type, static_cast<UINT32>(RDPDR_DTYP_FILESYSTEM));
    EXPECT_STREQ(root->Path, "/");
}

}  // namespace
}  // namespace kiv
