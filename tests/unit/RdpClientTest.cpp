#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "infra/DebugLog.h"
#include "launch/CommandLine.h"
#include "launch/CredentialCodec.h"
#include "session/ConnectParameters.h"
#include "session/RdpClient.h"
#include "session/RecordingControl.h"
#include "session/SessionEvents.h"
#include "support/FakeMachineSettings.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

struct Owner : IRdpClientOwner {
    void OnSessionStateChanged(uint16_t e, int32_t r) override { events.emplace_back(e, r); }
    void OnChannelReceivedData(const std::string& c, const TBytes&) override { channels.push_back(c); }
    void CloseSessionWindow() override { ++closed; }
    void EndApplication() override { ++ended; }
    bool RunRepairTool(const std::string& argument) override {
        repairArguments.push_back(argument);
        return repairSucceeds;
    }
    std::vector<std::pair<uint16_t, int32_t>> events;
    std::vector<std::string> channels;
    std::vector<std::string> repairArguments;
    bool repairSucceeds = false;
    int closed = 0, ended = 0;
};

struct Prompt : IMessagePrompt {
    TPromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override {
        texts.push_back(text);
        return answer;
    }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    TPromptAnswer answer = TPromptAnswer::Cancel;
    std::vector<std::string> texts;
};

// The user's folders are a fresh temporary home: no farm, no proxy.
class ConnectSequence : public ::testing::Test {
protected:
    std::unique_ptr<TRdpClient> Client(TRdpClientSettings settings = {}) {
        return std::make_unique<TRdpClient>(control, owner,
                                            std::make_unique<TRecordingPortMapper>(control.MutableCalls(), 5891),
                                            machine, prompt, [] { return std::string("FP1234"); }, settings);
    }
    // The value of the last call of that name, as text or number.
    const TRecordedCall* Last(const std::string& name) const {
        const TRecordedCall* found = nullptr;
        for (const auto& call : control.Calls())
            if (call.name == name) found = &call;
        return found;
    }
    std::string Text(const std::string& name) const {
        const auto* call = Last(name);
        return call ? std::get<std::string>(call->value) : "<not set>";
    }
    int64_t Number(const std::string& name) const {
        const auto* call = Last(name);
        return call ? std::get<int64_t>(call->value) : -999;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& call : control.Calls()) names.push_back(call.name);
        return names;
    }

    test::TempDir home;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", home.path().string()};
    TRecordingControl control;
    Owner owner;
    test::FakeMachineSettings machine;
    Prompt prompt;
    TKIVFile record;
};

TEST_F(ConnectSequence, CreationAndTheOrderOfEverySetting) {
    record.ServerHost = "srv";
    record.ServerPort = 3390;
    record.ScreenFull = 3;
    record.LoginUser = EncodeCredential("ann");
    record.LoginPassWord = EncodeCredential("pw");
    auto client = Client({true, true, "2052"});
    client->ConnectServer(record);
    const std::vector<std::string> expected{
        "AudioCaptureRedirectionMode", "EnableCredSspSupport", "SmartSizing", "CreateVirtualChannels",
        "EnableAutoReconnect", "NetworkConnectionType", "SetVirtualChannelOptions", "SetVirtualChannelOptions",
        "SetVirtualChannelOptions", "Server", "RDPPort", "UserName", "ClearTextPassword", "Domain",
        "KeyboardHookMode", "SmoothScroll", "EnableAutoReconnect", "MaximizeShell", "PluginDlls", "ColorDepth",
        "PerformanceFlags", "DisableRdpdr", "RedirectDrives", "RedirectPrinters", "RedirectPorts",
        "RedirectSmartCards", "AudioRedirectionMode", "Compress", "CachePersistenceActive", "EnableWindowsKey",
        "HotKeyCtrlAltDel", "HotKeyAltEsc", "HotKeyFullScreen", "HotKeyCtrlEsc", "HotKeyAltTab",
        "HotKeyAltShiftTab", "Connect"};
    EXPECT_EQ(Names(), expected);
    const auto& calls = control.Calls();
    using Options = std::pair<std::string, int64_t>;
    EXPECT_EQ(std::get<Options>(calls[6].value), Options("CSMP", 0x08200000));
    EXPECT_EQ(std::get<Options>(calls[7].value), Options("CSML", 0x08200000));
    EXPECT_EQ(std::get<Options>(calls[8].value), Options("CSMT", 0x08800000));
    EXPECT_EQ(Text("CreateVirtualChannels"), "CSML,CSMT,CSMP");
    EXPECT_EQ(Number("NetworkConnectionType"), 2);
    EXPECT_EQ(Number("EnableAutoReconnect"), -1);
    EXPECT_EQ(Number("PerformanceFlags"), 0x6F);
    EXPECT_EQ(Number("RedirectDrives"), 0);
    EXPECT_EQ(Number("AudioRedirectionMode"), 2);  // RedirectAudio 0: no sound
    EXPECT_EQ(Number("EnableWindowsKey"), 0);
    EXPECT_EQ(Text("PluginDlls"), "rusbrdr.dll,mibprinterclient.dll");
    EXPECT_EQ(Text("UserName"), "ann");
    EXPECT_EQ(Number("RDPPort"), 3390);
    EXPECT_EQ(client->ClientInfo(), "/U:ann /M:FP1234 /H: /E:SID00000000 /C:2052");
    EXPECT_EQ(client->UsbInitParam(), "user=ann&finger=FP1234&finger2=&sid=SID00000000&appid=");
}

TEST_F(ConnectSequence, StartProgramOfTheDefaultRecordByteForByte) {
    record.ShellPath = "c:\\kiv\\shell.exe";
    record.UserName = "616E6E";
    Client()->ConnectServer(record);
    EXPECT_EQ(Text("StartProgram"),
              "\"c:\\kiv\\shell.exe\" /N:APP00000000 /U:ann /P: /S:-1 /M:FP1234 /H: /I:0 /E:SID00000000 /C:2052 "
              "/A:-1 /RT:0 /ST:1");
    EXPECT_EQ(Text("WorkDir"), "c:\\kiv\\");
    EXPECT_EQ(Last("KeyboardHookMode"), nullptr);  // only without a shell path
    EXPECT_EQ(ShellWorkDir("shell.exe"), "");
    EXPECT_EQ(ShellWorkDir("d:shell.exe"), "d:");
}

TEST_F(ConnectSequence, EveryPlaceholderFollowsItsField) {
    record.ShellPath = "s";
    record.UserName = "4A6F";
    record.FarmSessionType = 4;
    record.UseServerIME = 1;
    record.SessionID = "SID12345678";
    record.AuthType = 3;
    record.RedirectTray = 1;
    record.SessionType = 9;
    EXPECT_EQ(BuildStartProgram(record, "M", "H", "950"),
              "\"s\" /N:APP00000000 /U:Jo /P: /S:4 /M:M /H:H /I:1 /E:SID12345678 /C:950 /A:3 /RT:1 /ST:9");
}

TEST_F(ConnectSequence, LoadBalancingCookie) {
    const TBytes cookie = BuildLoadBalanceInfo("SID00000000");
    const std::string expected("AGS:SID00000000\0\r\n", 18);
    EXPECT_EQ(std::string(cookie.begin(), cookie.end()), expected);  // 18 bytes, 9 units
    const TBytes even = BuildLoadBalanceInfo("SID0000000");           // 14 bytes: no padding
    EXPECT_EQ(std::string(even.begin(), even.end()), "AGS:SID0000000\r\n");
    record.ServerIPType = 2;
    Client()->ConnectServer(record);
    EXPECT_EQ(std::get<TBytes>(Last("LoadBalanceInfo")->value), cookie);
}

TEST_F(ConnectSequence, ColorDepthAndFlags) {
    EXPECT_EQ(ColorDepthOf(0), 15);
    EXPECT_EQ(ColorDepthOf(1), 15);
    EXPECT_EQ(ColorDepthOf(2), 16);
    EXPECT_EQ(ColorDepthOf(3), 24);
    EXPECT_EQ(ColorDepthOf(4), 32);
    EXPECT_EQ(ColorDepthOf(5), 15);
    TKIVFile all;
    all.WallPaper = all.FullWindowDrag = all.MenuAnimations = all.Theming = all.CursorShadow = all.CursorBlinking = 1;
    all.EnhancedGraphics = all.FontSmoothing = all.DesktopComposition = 1;
    EXPECT_EQ(GetPerformanceFlags(all), 0x190);
}

TEST_F(ConnectSequence, DomainRuleForDotCom) {
    record.LoginUser = EncodeCredential(" ann ");
    record.LoginDomain = EncodeCredential("corp.com.cn");
    record.LoginPassWord = EncodeCredential("");
    auto client = Client();
    client->ConnectServer(record);
    EXPECT_EQ(Text("Domain"), "corp");
    EXPECT_EQ(Text("UserName"), "corp\\ann");
    EXPECT_EQ(Last("ClearTextPassword"), nullptr);  // an empty decoded password is not handed over
    const TLogon upper = BuildLogon([] {
        TKIVFile r;
        r.LoginDomain = EncodeCredential("Sales.Example.COM");
        r.LoginUser = EncodeCredential("bob");
        return r;
    }(), true);
    EXPECT_EQ(upper.domain, "Sales.Example");
}

TEST_F(ConnectSequence, PlainLogonFieldsWhenNotEncoded) {
    record.LoginUser = "ann";
    record.LoginDomain = "D";
    Client({false, false, "2052"})->ConnectServer(record);
    EXPECT_EQ(Text("UserName"), "ann");
    EXPECT_EQ(Text("Domain"), "D");
    EXPECT_EQ(Text("ClearTextPassword"), "");  // set even when empty
    EXPECT_EQ(Last("EnableCredSspSupport"), nullptr);
}

TEST_F(ConnectSequence, PlainLogonFieldsAreLoggedWhenTheStoredFormIsExpected) {
    struct Case {
        bool kivFileisEn;
        const char* user;
        const char* domain;
        const char* logged;  // the fields the line names, nullptr: no line
    } cases[] = {
        {true, "ann", "", "Login_User in plain text"},
        {true, "ann", "corp", "Login_User,Login_domain in plain text"},
        {true, nullptr, "", nullptr},  // the stored form
        {false, "ann", "corp", nullptr},
    };
    const auto previous = LogFilePath();
    for (const Case& c : cases) {
        test::TempDir logs;
        SetLogFilePath(logs.path() / "KivClient.log");
        DebugSwitches[dmMain] = true;
        record.LoginUser = c.user ? std::string(c.user) : EncodeCredential("ann");
        record.LoginDomain = c.domain;
        record.LoginPassWord = EncodeCredential("pw");
        Client({c.kivFileisEn, false, "2052"})->ConnectServer(record);
        DebugSwitches[dmMain] = false;
        std::ifstream in(logs.path() / "KivClient.log");
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (c.logged) EXPECT_NE(log.find(std::string("[TRdpClient.SetLogon]") + c.logged), std::string::npos) << log;
        else EXPECT_EQ(log.find("[TRdpClient.SetLogon]"), std::string::npos) << log;
    }
    SetLogFilePath(previous);
}

TEST_F(ConnectSequence, MachineOverridesOfTheAddress) {
    record.ServerHost = "LocalHost";
    record.ServerPort = 3389;
    machine.Set("Infomation", "termsrv", "1");
    Client()->ConnectServer(record);
    EXPECT_EQ(control.Server(), "127.0.0.2");

    machine.Set("Infomation", "termsrv", "0");
    control.MutableCalls().clear();
    Client()->ConnectServer(record);
    EXPECT_EQ(control.Server(), "LocalHost");

    machine.Set("Debug", "agshost", "10.9.8.7");
    control.MutableCalls().clear();
    Client()->ConnectServer(record);
    EXPECT_EQ(control.Server(), "LocalHost");  // agshost alone changes nothing
    EXPECT_EQ(Number("RDPPort"), 3389);

    machine.Set("Debug", "agsport", "x1");
    control.MutableCalls().clear();
    Client()->ConnectServer(record);
    EXPECT_EQ(control.Server(), "10.9.8.7");
    EXPECT_EQ(Number("RDPPort"), 5880);
}

TEST_F(ConnectSequence, ThroughTheFarmProxyTheOverridesAreIgnored) {
    home.Write("VYNClient6.0/Farms.ini", "[Farms]\nFarmList=f\n");
    home.Write("VYNClient6.0/f/Farm.ini",
               "[Farm]\nFarmHost=portal\nFarmPort=8080\n[ProxySet]\nProxyType=2\nProxyServer=127.0.0.1\nProxyPort=3128\n");
    record.FarmProtocol = "http";
    record.FarmHost = "portal";
    record.FarmPort = 8080;
    record.ServerHost = "localhost";
    record.ServerPort = 3389;
    machine.Set("Infomation", "termsrv", "1");
    machine.Set("Debug", "agshost", "h");
    machine.Set("Debug", "agsport", "1");
    Client()->ConnectServer(record);
    EXPECT_EQ(record.ProxySet.ProxyType, 2);
    EXPECT_EQ(control.Server(), "127.0.0.1");
    EXPECT_EQ(Number("RDPPort"), 5891);
    EXPECT_EQ(Text("PortMapper.SetTargetHost"), "localhost");
    EXPECT_EQ(Number("PortMapper.SetTargetPort"), 3389);
    EXPECT_EQ(Number("PortMapper.SetActive"), -1);
}

TEST_F(ConnectSequence, AddInsAlreadyNamingTheUsbLibrary) {
    const auto lib = home.Write("lib/RUSBRDR.DLL", "x");
    machine.Set("AddIns", "RDPDR", home.Write("lib/rdpdr.so", "x").string());
    machine.Set("AddIns", "usb", lib.string());
    machine.Set("AddIns", "gone", (home.path() / "missing.so").string());
    EXPECT_EQ(GetRdpdrAddIns(machine), lib.string());
    EXPECT_EQ(BuildPluginDlls(GetRdpdrAddIns(machine)), LowerAscii(lib.string()) + ",mibprinterclient.dll");
    EXPECT_EQ(BuildPluginDlls(""), "rusbrdr.dll,mibprinterclient.dll");
}

TEST_F(ConnectSequence, RedirectionsAudioKeysAndDesktopSize) {
    record.RedirectDrive = record.RedirectPrinter = record.RedirectPort = record.RedirectUsb = 1;
    record.RedirectAudio = 2;
    record.ScreenFull = 0;
    record.AppTypeMode = 1;
    record.Product = 1;
    record.Width = 1280;
    record.Height = 720;
    record.Color = 3;
    Client()->ConnectServer(record);
    EXPECT_EQ(Number("RedirectDrives"), -1);
    EXPECT_EQ(Number("RedirectPrinters"), -1);
    EXPECT_EQ(Number("RedirectPorts"), -1);
    EXPECT_EQ(Number("RedirectSmartCards"), -1);
    EXPECT_EQ(Last("AudioRedirectionMode"), nullptr);  // 2 leaves the control's default
    EXPECT_EQ(Number("EnableWindowsKey"), 1);
    EXPECT_EQ(Last("HotKeyCtrlAltDel"), nullptr);  // a whole desktop keeps Ctrl+Alt+Del
    EXPECT_EQ(Number("DesktopWidth"), 1280);
    EXPECT_EQ(Number("DesktopHeight"), 720);
    EXPECT_EQ(Number("ColorDepth"), 24);
    EXPECT_EQ(Names().back(), "Connect");
}

TEST_F(ConnectSequence, ASeamlessDesktopIsTheLocalScreensSize) {
    record.ScreenFull = 3;
    record.Product = 0;
    ApplySeamlessDesktopSize(record, 1366, 768);
    Client()->ConnectServer(record);
    EXPECT_EQ(Number("DesktopWidth"), 1366);
    EXPECT_EQ(Number("DesktopHeight"), 768);
}

TEST_F(ConnectSequence, WithoutLevelThreeNothingIsAttempted) {
    TRecordingControl old(1, true);
    TRdpClient client(old, owner, std::make_unique<TRecordingPortMapper>(old.MutableCalls()), machine, prompt, nullptr,
                      {});
    client.ConnectServer(record);
    std::vector<std::string> names;
    for (const auto& call : old.Calls()) names.push_back(call.name);
    EXPECT_EQ(names, (std::vector<std::string>{"SmartSizing", "CreateVirtualChannels", "SetVirtualChannelOptions",
                                               "SetVirtualChannelOptions", "SetVirtualChannelOptions"}));
    EXPECT_TRUE(owner.events.empty());
}

TEST_F(ConnectSequence, WithoutSecuredSettingsTheirStepsAreSkipped) {
    TRecordingControl noSecured(7, false);
    TRdpClient client(noSecured, owner, std::make_unique<TRecordingPortMapper>(noSecured.MutableCalls()), machine,
                      prompt, nullptr, {});
    record.ShellPath = "c:\\s.exe";
    client.ConnectServer(record);
    for (const auto& call : noSecured.Calls()) {
        EXPECT_NE(call.name, "StartProgram");
        EXPECT_NE(call.name, "WorkDir");
    }
    EXPECT_EQ(noSecured.Calls().back().name, "Connect");
}

// A control that refuses a value, as a real one may.
struct RefusingControl : TRecordingControl {
    void SetColorDepth(int32_t) override {
        ++attempts;
        if (refuse) throw std::runtime_error("colour depth refused");
    }
    int attempts = 0;
    bool refuse = true;
};

TEST_F(ConnectSequence, AFailingStepOffersTheRepairTool) {
    RefusingControl refusing;
    TRdpClient client(refusing, owner, std::make_unique<TRecordingPortMapper>(refusing.MutableCalls()), machine,
                      prompt, nullptr, {});
    prompt.answer = TPromptAnswer::Cancel;
    client.ConnectServer(record);
    ASSERT_EQ(prompt.texts.size(), 1u);
    EXPECT_NE(prompt.texts[0].find("colour depth refused"), std::string::npos);
    EXPECT_EQ(owner.closed, 1);
    EXPECT_TRUE(owner.repairArguments.empty());
    EXPECT_NE(refusing.Calls().back().name, "Connect");

    // OK and a successful repair: the sequence starts again from the top.
    prompt.answer = TPromptAnswer::Ok;
    owner.repairSucceeds = true;
    refusing.MutableCalls().clear();
    refusing.attempts = 0;
    struct Fix : IMessagePrompt {
        RefusingControl& c;
        explicit Fix(RefusingControl& control) : c(control) {}
        TPromptAnswer AskOkCancel(const std::string&, const std::string&) override {
            c.refuse = false;  // the repair tool mends what was broken
            return TPromptAnswer::Ok;
        }
        bool AskYesNo(const std::string&, const std::string&) override { return true; }
    } fix(refusing);
    TRdpClient again(refusing, owner, std::make_unique<TRecordingPortMapper>(refusing.MutableCalls()), machine, fix,
                     nullptr, {});
    again.ConnectServer(record);
    EXPECT_EQ(refusing.attempts, 2);
    EXPECT_EQ(owner.repairArguments, std::vector<std::string>{"fixcax"});
    EXPECT_EQ(refusing.Calls().back().name, "Connect");

    // OK but the repair fails: the window closes.
    RefusingControl still;
    owner.repairSucceeds = false;
    prompt.answer = TPromptAnswer::Ok;
    TRdpClient third(still, owner, std::make_unique<TRecordingPortMapper>(still.MutableCalls()), machine, prompt,
                     nullptr, {});
    third.ConnectServer(record);
    EXPECT_EQ(owner.closed, 2);
}

TEST_F(ConnectSequence, EventsBecomeSessionEvents) {
    auto client = Client();
    client->OnConnecting();
    client->OnConnected();
    EXPECT_TRUE(client->Connected());
    client->OnChannelReceivedData("CSML", {1});
    client->OnFatalError(7);
    control.SetExtendedDisconnectReason(0x11);
    client->OnDisconnected(1028);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(control.Events(), nullptr);  // the control is dropped
    EXPECT_EQ(owner.events, (std::vector<std::pair<uint16_t, int32_t>>{{MSG_WINLOGON_SESSION_CONNECTING, 0},
                                                                      {MSG_WINLOGON_SESSION_CONNECTED, 0},
                                                                      {MSG_WINLOGON_SESSION_ERROR, 7},
                                                                      {MSG_WINLOGON_SESSION_DISCONNECT, 1028}}));
    EXPECT_EQ(owner.channels, std::vector<std::string>{"CSML"});
    // After the session DisconnectServer takes the not-connected path.
    client->DisconnectServer();
    EXPECT_EQ(owner.events.back(), std::make_pair(MSG_WINLOGON_SESSION_DISCONNECT, int32_t{0xB08}));
    EXPECT_EQ(owner.ended, 1);
}

TEST_F(ConnectSequence, DisconnectWhileConnectedAsksTheControl) {
    auto client = Client();
    client->OnConnected();
    client->DisconnectServer();
    EXPECT_EQ(control.Calls().back().name, "Disconnect");
    EXPECT_EQ(owner.ended, 0);
    client->DisconnectServer();  // before the disconnected event: nothing connected any more
    EXPECT_EQ(owner.events.back(), std::make_pair(MSG_WINLOGON_SESSION_DISCONNECT, int32_t{2824}));
}

}  // namespace
}  // namespace kiv
