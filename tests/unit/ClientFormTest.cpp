#include <gtest/gtest.h>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "infra/LanguageStyle.h"
#include "session/ClientForm.h"
#include "session/SessionEvents.h"
#include "support/ClientFormFakes.h"
#include "support/ImeFakes.h"
#include "support/MeterFakes.h"
#include "support/SessionFakes.h"

namespace kiv {
namespace {

// The language texts are their own keys, so tests can read which text was shown.
class KeyLanguage : public ::testing::Environment {};

class ClientForm : public ::testing::Test, protected test::ClientFormFakes {
protected:
    void SetUp() override {
        std::string text = "[TEXT]\n";
        for (const char* key : {"KIVReading", "KIVConnecting", "KIVConnected", "KIVReadyAuth", "KIVLogonOK",
                                "KIVInitShell", "KIVLoadShell", "KIVStartingShellOK", "ErrorCap", "sInfoCaption",
                                "NoThisUser", "ReconnectError2", "KivShellError", "AppStartError",
                                "KIVAuthLogonErr", "NotifyServiceError", "L_NetworkErr_ErrorMessage",
                                "L_DisconnectByOtherConnection_ErrorMessage", "L_NotResponding_ErrorMessage",
                                "MSG_WINLOGON_MULTEACCOUNT", "ClientExitInfo", "KIVSecurityOut",
                                "L_LogoffRemoteByServer_ErrorMessage", "L_DisconnectRemoteByServerTool_ErrorMessage",
                                "SysErr_AccessDenied", "SysErr_FileNotFound"})
            text += std::string(key) + "=" + key + "\n";
        text += "ReconnectError=ReconnectError %d\nKIV_UnKnowError=KIV_UnKnowError %d\nKivReconnect=KivReconnect %d\n"
                "AppRunError=AppRunError %d %s\nAppRunErrorCode=AppRunErrorCode %d\n";
        files.Write("lang.ini", text);
        files.Write("Resource.ini", "[LanguageStyle]\n1033=EN\n[EN]\nIniPath=lang.ini\nImgPath=\n");
        language = std::make_unique<TLanguageStyle>(files.path(), files.path() / "Resource.ini", 1033);
        SetLanguageStyle(language.get());
        record.AppID = "APP0001";
        record.ScreenFull = 3;
        record.ServerHost = "srv";
    }
    void TearDown() override { SetLanguageStyle(nullptr); }

    TfrmClientForm& Start(TCommandLine line = {}) {
        TClientFormPorts ports = Ports(view);
        meterPorts = std::make_unique<TTrafficMeterPorts>(TTrafficMeterPorts{
            clock, test::TickCountOf(clock), &interception, &statusWindow, files.path() / "KivClient.ini"});
        ports.trafficMeter = meterPorts.get();
        // The registration comes after the seamless preparation, before the progress dialog.
        ports.registerFileTypes = [this] { registrations.push_back(view.toolWindow && progress.caption.empty()); };
        ports.imeWindows = &imeWindows;
        form = std::make_unique<TfrmClientForm>(ports, record, TClientFormSettings{{}, false, 0, 30000});
        form->SetUp(line);
        return *form;
    }
    void Event(uint16_t e, int32_t r = 0) { form->OnSessionStateChanged(e, r); }
    // Brings the session up the normal way (settled: past the pause before the show).
    void ReachShellStarted(bool settled = true) {
        control.Events()->OnConnecting();
        control.Events()->OnConnected();
        Event(MSG_WINLOGON_AUTH_RESULT, 0);
        Event(MSG_WINLOGON_LOGON_OK, 7);
        Event(MSG_WINLOGON_SHELL_LOADING, 7);
        Event(MSG_WINLOGON_SHELL_STARTED);
        if (settled) clock.Advance(150);
    }
    void ReceiveReconnectPolicy(int16_t seconds) {
        TBytes policy(18, 0);
        policy[0] = 0x5A, policy[1] = 0x2E, policy[2] = 0x07;
        WriteU16(&policy[3], SHELL_RECONNECT_POLICY);
        WriteI16(&policy[5], 1);
        WriteI16(&policy[7], seconds);
        control.Events()->OnChannelReceivedData("CSML", policy);
    }
    // Shell messages sent so far, by type.
    std::vector<uint16_t> ShellTypesSent() const {
        std::vector<uint16_t> types;
        for (const auto& call : control.Calls())
            if (call.name == "SendOnVirtualChannel:CSML") types.push_back(ReadU16(&std::get<TBytes>(call.value)[3]));
        return types;
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& c : box.shown) texts.push_back(c.text);
        return texts;
    }

    std::unique_ptr<TLanguageStyle> language;
    test::FakeWindowView view;
    test::FakeInterception interception;
    test::FakeStatusLink statusWindow;
    std::unique_ptr<TTrafficMeterPorts> meterPorts;
    test::FakeImeWindows imeWindows;
    std::unique_ptr<TfrmClientForm> form;
    std::vector<bool> registrations;  // one per set-up: in its place?
};

TEST_F(ClientForm, TheNormalRoadToARunningApplication) {
    Start();
    EXPECT_TRUE(view.toolWindow);  // seamless: no taskbar entry of its own
    EXPECT_EQ(registrations, std::vector<bool>{true});
    EXPECT_EQ(progress.statuses.back(), "KIVReading");
    EXPECT_EQ(control.Calls().back().name, "Connect");
    ReachShellStarted();
    EXPECT_TRUE(form->ShellOk());
    EXPECT_EQ(record.ServerSessionNo, 7);
    EXPECT_TRUE(progress.logonLook);
    EXPECT_FALSE(progress.visible);  // closed after the shell started
    EXPECT_EQ(view.region, "empty");  // seamless: shaped by the server's windows later
    EXPECT_FALSE(view.cover);
    EXPECT_EQ(ShellTypesSent(), (std::vector<uint16_t>{SHELL_DRIVE_PATHS, SHELL_MOUSE_SWAP, SHELL_START_APP}));
    EXPECT_EQ(form->LastServerEvent(), MSG_WINLOGON_SHELL_STARTED);
    EXPECT_TRUE(box.shown.empty());
    // Every second the server hears the meter's last second.
    interception.counter->AddSent(3000);
    interception.counter->AddReceived(700);
    clock.Advance(2000);  // the meter's tick and the report fall due together: the report reads the last tick
    const TBytes& report = std::get<TBytes>(control.Calls().back().value);
    ASSERT_EQ(ReadU16(&report[3]), SHELL_TRAFFIC);
    EXPECT_EQ(ReadI32(&report[17]), 3000);
    EXPECT_EQ(ReadI32(&report[21]), 700);
}

TEST_F(ClientForm, TheInputMethodWindowLivesFromTheShellsStartToTheDisconnect) {
    Start();
    EXPECT_EQ(imeWindows.made, 0);
    ReachShellStarted();
    ASSERT_EQ(imeWindows.made, 1);
    EXPECT_TRUE(imeWindows.seamless);
    EXPECT_EQ(form->ImeWindowHandle(), 0x1A2Bu);
    // The caret reaches it through the shell handler.
    TBytes caret(18, 0);
    caret[0] = 0x5A, caret[1] = 0x2E, caret[2] = 0x07;
    WriteU16(&caret[3], SHELL_CARET);
    WriteI16(&caret[5], 30), WriteI16(&caret[7], 40), WriteI16(&caret[9], 32), WriteI16(&caret[11], 56);
    form->OnChannelReceivedData("CSML", caret);
    ASSERT_EQ(imeWindows.last->carets.size(), 1u);
    EXPECT_EQ(imeWindows.last->carets[0].height, 16);

    Event(MSG_WINLOGON_SESSION_DISCONNECT, 0x101);
    EXPECT_EQ(form->ImeWindow(), nullptr);
    EXPECT_EQ(form->ImeWindowHandle(), 0u);
    Event(MSG_WINLOGON_SESSION_RECONNECT, 7);
    EXPECT_EQ(imeWindows.made, 2);
    Event(MSG_WINLOGON_SESSION_RECONNECT, 7);
    EXPECT_EQ(imeWindows.made, 2);  // the one there is takes the focus again
    EXPECT_EQ(imeWindows.last->focused, 2);
}

TEST_F(ClientForm, OutsideSeamlessModeTheInputMethodWindowFollowsThePlacedWindow) {
    for (const int screenFull : {1, 3}) {
        record.ScreenFull = screenFull;
        Start();
        ReachShellStarted();  // the window is shown, and so placed, after the window is made
        ASSERT_EQ(imeWindows.made > 0, true);
        EXPECT_EQ(imeWindows.last->moves.size(), screenFull == 3 ? 0u : 1u) << "mode " << screenFull;
        imeWindows.made = 0;
    }
}

TEST_F(ClientForm, CustomRequestsAreAnswered) {
    Start();
    ReachShellStarted();
    TBytes request(kCustomMessageSize, 0);
    std::copy(kCustomSignature.begin(), kCustomSignature.end(), request.begin());
    WriteI32(&request[kCustomTypeOffset], CUSTOM_SERVER_ADDRESS);
    form->OnChannelReceivedData("CSMP", request);
    const auto& sent = control.Calls().back();
    ASSERT_EQ(sent.name, "SendOnVirtualChannel:CSML");
    EXPECT_EQ(std::get<TBytes>(sent.value).size(), 1032u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&std::get<TBytes>(sent.value)[kCustomTextOffset])), "srv");
}

TEST_F(ClientForm, NoInputMethodWindowWhenTheServersInputMethodIsUsed) {
    for (const auto& [appTypeMode, useServerIme] : {std::pair{1, 0}, {2, 1}}) {
        record.AppTypeMode = appTypeMode;
        record.UseServerIME = useServerIme;
        Start();
        ReachShellStarted();
        Event(MSG_WINLOGON_SESSION_RECONNECT, 7);
        EXPECT_EQ(imeWindows.made, 0);
        EXPECT_EQ(form->ImeWindowHandle(), 0u);
    }
}

TEST_F(ClientForm, LaunchesWaitForTheShellThenGoAtOnce) {
    Start();
    form->QueueAppLaunch("APP2", "doc.txt");
    EXPECT_EQ(form->PendingLaunches().size(), 2u);
    ReachShellStarted();
    EXPECT_TRUE(form->PendingLaunches().empty());
    form->QueueAppLaunch("APP3", "");
    const auto types = ShellTypesSent();
    EXPECT_EQ(std::count(types.begin(), types.end(), SHELL_START_APP), 3);
    std::string id, param;
    EXPECT_FALSE(form->PopAppLaunch(id, param));
}

TEST_F(ClientForm, WatchdogReportsTheStageThatDidNotFinish) {
    Start();
    control.Events()->OnConnected();
    clock.Advance(30000);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"NotifyServiceError"});
    EXPECT_EQ(app.closed, 1);

    box.shown.clear();
    Start();
    control.Events()->OnConnected();
    Event(MSG_WINLOGON_AUTH_RESULT, 0);
    Event(MSG_WINLOGON_SHELL_LOADING, 3);
    clock.Advance(29999);
    EXPECT_TRUE(box.shown.empty());
    clock.Advance(1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"KivShellError"});
}

TEST_F(ClientForm, NoWatchdogAfterLogonOk) {
    Start();
    control.Events()->OnConnected();
    Event(MSG_WINLOGON_AUTH_RESULT, 0);
    Event(MSG_WINLOGON_LOGON_OK, 4);
    clock.Advance(120000);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ClientForm, AuthenticationFailuresAndTheSecondLogon) {
    Start();
    Event(MSG_WINLOGON_AUTH_RESULT, 309);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"NoThisUser"});
    EXPECT_TRUE(form->AuthErrorShown());
    EXPECT_EQ(app.closed, 1);

    Start();
    box.shown.clear();
    Event(MSG_WINLOGON_AUTH_RESULT, 2);  // not in the table: closes silently
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(app.closed, 2);

    Start();
    Event(MSG_WINLOGON_AUTH_RESULT, 0);
    Event(MSG_WINLOGON_AUTH_RESULT, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ReconnectError2"});
    EXPECT_EQ(form->LastServerEvent(), MSG_WINLOGON_AUTH_RESULT);  // the first one; the second left early
}

TEST_F(ClientForm, AnAuthenticationErrorSuppressesTheDisconnectMessage) {
    Start();
    control.Events()->OnConnected();
    Event(MSG_WINLOGON_AUTH_RESULT, 309);
    box.shown.clear();
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 516);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ClientForm, EveryDisconnectBeforeTheShellIsUpIsToldAndCloses) {
    struct Row {
        int32_t reason, extended;
        std::vector<std::string> boxes;
    };
    for (const Row& row : std::vector<Row>{
             {2308, 0, {"L_NetworkErr_ErrorMessage"}},            // dropped while the shell is silent
             {2, 0xC, {"L_LogoffRemoteByServer_ErrorMessage"}},   // logged off during the logon
             {516, 0, {"L_NotResponding_ErrorMessage"}},
             {3, 0, {"L_DisconnectRemoteByServerTool_ErrorMessage"}},
             {1, 0, {}},  // the client's own request stays quiet
         }) {
        box.shown.clear();
        app.closed = 0;
        Start();
        control.Events()->OnConnected();
        control.SetExtendedDisconnectReason(row.extended);
        control.Events()->OnDisconnected(row.reason);
        EXPECT_EQ(BoxTexts(), row.boxes) << row.reason;
        EXPECT_EQ(app.closed, 1) << row.reason;
        clock.Advance(60000);  // nothing more: no watchdog, no second box
        EXPECT_EQ(BoxTexts(), row.boxes) << row.reason;
    }
}

TEST_F(ClientForm, WhatHidesOrEndsTheSessionWinsOverThePendingShow) {
    record.ScreenFull = 0;
    for (const auto& [event, reason] : std::vector<std::pair<uint16_t, int32_t>>{{MSG_WINLOGON_HIDE_WINDOW, 0},
                                                                              {MSG_WINLOGON_SESSION_LOGOFF, 0},
                                                                              {MSG_WINLOGON_SESSION_ERROR, 2},
                                                                              {MSG_WINLOGON_APP_RUN_ERROR, 5},
                                                                              {MSG_WINLOGON_SESSION_DISCONNECT, 3}}) {
        Start();
        ReachShellStarted(false);
        Event(event, reason);
        clock.Advance(500);
        EXPECT_TRUE(view.cover) << std::hex << event;
        EXPECT_NE(view.region, "whole") << std::hex << event;
    }
}

TEST_F(ClientForm, AnApplicationErrorNamesTheServersCodeAndItsMeaning) {
    for (const auto& [code, text] : std::vector<std::pair<int32_t, std::string>>{
             {5, "AppRunError 5 SysErr_AccessDenied"}, {2, "AppRunError 2 SysErr_FileNotFound"},
             {4711, "AppRunErrorCode 4711"}}) {
        box.shown.clear();
        Start();
        ReachShellStarted();
        Event(MSG_WINLOGON_APP_RUN_ERROR, code);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{text});
    }
}

TEST_F(ClientForm, APlainServerShowsItsDesktopOnceConnectedWithoutTheShell) {
    record.ScreenFull = 0;
    record.ServerShell = 0;
    Start();
    control.Events()->OnConnecting();
    control.Events()->OnConnected();
    EXPECT_TRUE(form->ShellOk());
    EXPECT_FALSE(progress.visible);
    EXPECT_EQ(view.region, "whole");
    EXPECT_FALSE(view.cover);
    clock.Advance(60000);  // no watchdog waits for a shell
    EXPECT_TRUE(box.shown.empty());
    EXPECT_TRUE(ShellTypesSent().empty());
    // A network failure of the live session is still told, even the closed socket
    // a session with a shell lets pass.
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 2308);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"L_NetworkErr_ErrorMessage"});
    EXPECT_EQ(app.closed, 1);
}

TEST_F(ClientForm, QuietAndMessageDisconnects) {
    Start();
    ReachShellStarted();
    // The control reports a closed socket only once it could not reconnect: the network is lost.
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 2308);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"L_NetworkErr_ErrorMessage"});
    EXPECT_EQ(box.shown.back().iconIndex, 0);
    EXPECT_EQ(app.closed, 1);

    box.shown.clear();
    Start();
    ReachShellStarted();
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 0x101);  // low byte 1: a quiet end
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(app.closed, 2);

    Start();
    control.SetExtendedDisconnectReason(5);
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 2);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"L_DisconnectByOtherConnection_ErrorMessage"});
    EXPECT_EQ(box.shown.back().iconIndex, 0);
    control.SetExtendedDisconnectReason(0);

    Start();
    box.shown.clear();
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 0xB08);
    EXPECT_TRUE(box.shown.empty());
    Start();
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 516);
    EXPECT_EQ(BoxTexts().back(), "L_NotResponding_ErrorMessage");
    EXPECT_EQ(form->LastServerEvent(), MSG_WINLOGON_SESSION_DISCONNECT);
}

TEST_F(ClientForm, AQuietDisconnectAfterAnErrorBoxWaits) {
    Start();
    Event(MSG_WINLOGON_SESSION_ERROR, 2);  // the error box, then a close
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"KIVSecurityOut"});
    EXPECT_TRUE(form->ShowErrorNoClose());
    const int closedBefore = app.closed;
    Event(MSG_WINLOGON_SESSION_DISCONNECT, 1);
    EXPECT_EQ(app.closed, closedBefore);  // already closing: not twice
}

TEST_F(ClientForm, AnErrorWhileTheShellIsUpStillEndsTheProcess) {
    Start();
    ReachShellStarted();
    Event(MSG_WINLOGON_APP_RUN_ERROR, 2);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text.rfind("AppRunError 2 ", 0), 0u);
    EXPECT_EQ(app.closed, 0);  // the close only disconnects while the shell is up
    EXPECT_EQ(control.Calls().back().name, "Disconnect");
    control.Events()->OnDisconnected(1);  // the quiet disconnect that follows
    EXPECT_EQ(app.closed, 1);             // ends the process instead of leaving it without a window
}

TEST_F(ClientForm, ClosingAsksAndNoChangesNothing) {
    Start();
    ReachShellStarted();
    prompt.yes = false;
    form->OnCloseQuery();
    clock.Advance(500);
    EXPECT_EQ(prompt.questions, std::vector<std::string>{"ClientExitInfo"});
    EXPECT_TRUE(form->ShellOk());
    EXPECT_EQ(ShellTypesSent().back(), SHELL_START_APP);
    prompt.yes = true;
    form->OnCloseQuery();
    EXPECT_EQ(ShellTypesSent().back(), SHELL_EXIT);
    EXPECT_EQ(control.Calls().back().name, "SendOnVirtualChannel:CSML");
    clock.Advance(100);
    EXPECT_EQ(control.Calls().back().name, "Disconnect");  // closing a live session disconnects first
    EXPECT_EQ(app.closed, 0);
    control.Events()->OnDisconnected(1);
    EXPECT_EQ(app.closed, 1);
}

TEST_F(ClientForm, LogoffDisconnectsWithASafetyNet) {
    Start();
    ReachShellStarted();
    Event(MSG_WINLOGON_SESSION_LOGOFF);
    EXPECT_FALSE(form->ShellOk());
    EXPECT_EQ(view.region, "empty");
    EXPECT_TRUE(view.cover);
    EXPECT_EQ(control.Calls().back().name, "Disconnect");
    control.Events()->OnDisconnected(2);  // wait: TRdpClient already reported it
    clock.Advance(200);                   // the safety net finds nothing connected
    EXPECT_GE(app.terminated, 1);
}

TEST_F(ClientForm, TimedReconnectionEndsAfterItsLimit) {
    Start();
    ReachShellStarted();
    ReceiveReconnectPolicy(5);
    EXPECT_TRUE(form->ReconnectPolicy().enabled);
    control.Events()->OnConnecting();  // the live session reconnects
    EXPECT_TRUE(form->Reconnecting());
    clock.Advance(4000);
    EXPECT_EQ(app.terminated, 0);
    clock.Advance(1000);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"L_NetworkErr_ErrorMessage"});
    EXPECT_EQ(app.terminated, 1);
}

TEST_F(ClientForm, AReconnectionEndsItsTimingOnceItCompletesOrFails) {
    for (const bool completes : {true, false}) {
        box.shown.clear();
        app.closed = app.terminated = 0;
        Start();
        ReachShellStarted();
        ReceiveReconnectPolicy(5);
        control.Events()->OnConnecting();  // the live session drops and reconnects
        control.Events()->OnConnected();
        if (completes) Event(MSG_WINLOGON_SESSION_RECONNECT, 7);
        else control.Events()->OnDisconnected(2308);  // the control gave up
        EXPECT_FALSE(form->Reconnecting());
        clock.Advance(60000);
        EXPECT_EQ(app.terminated, 0) << completes;
        EXPECT_EQ(BoxTexts(), completes ? std::vector<std::string>{} : std::vector<std::string>{"L_NetworkErr_ErrorMessage"});
        EXPECT_EQ(app.closed, completes ? 0 : 1);
    }
}

TEST_F(ClientForm, ReconnectedSessionFlushesLaunchesAsFollowUps) {
    Start();
    ReachShellStarted();
    form->QueueAppLaunch("APP9", "");  // sent at once: the shell is up
    Event(MSG_WINLOGON_SESSION_RECONNECT, 11);
    EXPECT_EQ(record.ServerSessionNo, 11);
    EXPECT_EQ(progress.statuses.back(), "KivReconnect 11");
    EXPECT_EQ(ShellTypesSent().back(), SHELL_RECONNECTED);
    EXPECT_EQ(form->AuthCount(), 0);
}

TEST_F(ClientForm, StageErrorOfAReconnectionNamesTheSession) {
    Start();
    record.ServerSessionNo = 12;
    Event(MSG_WINLOGON_LOGON_ERROR, 0x8000);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"ReconnectError 12"});
}

TEST_F(ClientForm, ASecondLaunchOfASharedSessionIsHandedOver) {
    record.ShareSession = true;
    record.AppParam = "first";
    Start();
    TKIVFile secondRecord = record;
    secondRecord.AppID = "APP2";
    secondRecord.AppParam = "second.txt";
    TRecordingControl secondControl;
    test::FakeApplication secondApp;
    TClientFormPorts ports{secondControl, view, progress, box, prompt, clock, secondApp, machine, desktop, handOver,
                           processes};
    TfrmClientForm second(ports, secondRecord, {});
    second.SetUp({});
    EXPECT_TRUE(second.HandedOver());
    EXPECT_EQ(secondApp.closed, 1);
    for (const auto& call : secondControl.Calls()) EXPECT_NE(call.name, "Connect");
    EXPECT_EQ(form->PendingLaunches().back(), "APP2=second.txt");
    second.Shutdown();
    EXPECT_TRUE(secondApp.killed.empty());  // the first instance's video programs stay
    form->Shutdown();
    EXPECT_EQ(app.killed, (std::vector<std::string>{"vstreamer", "vx_display"}));
}

TEST_F(ClientForm, WindowRequests) {
    Start();
    ReachShellStarted();
    form->OnWindowMessage(kMsgStartApp, "APP5");
    EXPECT_EQ(ShellTypesSent().back(), SHELL_START_APP);
    form->OnWindowMessage(kMsgShowWholeScreen, "");
    EXPECT_EQ(view.region, "rect 1920x1050");
    form->OnSuspendRequest();
    EXPECT_EQ(ShellTypesSent().back(), SHELL_SUSPEND);
    form->OnLogoffDebug();
    EXPECT_EQ(ShellTypesSent().back(), SHELL_EXIT);
    EXPECT_TRUE(view.cover);
    prompt.yes = false;
    form->OnWindowMessage(kMsgDisconnectQuestion, "");
    EXPECT_NE(control.Calls().back().name, "Disconnect");
}

}  // namespace
}  // namespace kiv
