#include "session/ClientForm.h"

#include <cstring>
#include <exception>

#include "channels/SmlTaskbarIcon.h"
#include "desktop/HandOverRecord.h"
#include "infra/CodePage.h"
#include "infra/DebugLog.h"
#include "infra/LanguageStyle.h"
#include "infra/TextFormat.h"
#include "session/ErrorTables.h"
#include "session/SessionEvents.h"
#include "launch/SessionKeys.h"

namespace kiv {

namespace {

constexpr int kDisconnectedSafetyNetMs = 200;
constexpr int kReconnectCheckMs = 1000;
constexpr int kSpeedReportMs = 1000;
constexpr int kSettleMs = 100;  // the pause before the dialog closes or the window goes

const char* TrueFalse(bool value) { return value ? "True" : "False"; }

}  // namespace

TfrmClientForm::TfrmClientForm(TClientFormPorts ports, TKIVFile& record, TClientFormSettings settings)
    : ports_(std::move(ports)), record_(record), settings_(std::move(settings)) {
    timerLogon_ = ports_.timers.CreateTimer([this] { OnLogonTimer(); });
    tmrDisconnected_ = ports_.timers.CreateTimer([this] { OnDisconnectedTimer(); });
    tmrAbnormalDisconnection_ = ports_.timers.CreateTimer([this] { OnAbnormalDisconnectionTimer(); });
    tmrSpeed_ = ports_.timers.CreateTimer([this] { OnSpeedTimer(); });
    tmrShowAfterStart_ = ports_.timers.CreateTimer([this] { OnShowAfterStartTimer(); });
}

TfrmClientForm::~TfrmClientForm() = default;

std::string TfrmClientForm::Lookup(std::string_view key) const {
    return LanguageStyle() ? LanguageStyle()->GetText(key) : std::string();
}

void TfrmClientForm::SetUp(const TCommandLine& commandLine) {
    const std::string appName = SystemToUtf8(record_.AppName);
    ports_.view.SetCaption(Format("##[%s]\\%s", {std::string_view(Lookup("VYNRemoteConn")), std::string_view(appName)}));
    if (record_.ScreenFull == 3) {
        HideSessionWindow();
        ports_.view.SetToolWindowStyle();
        ports_.view.SetCaption("");
    }
    if (ports_.registerFileTypes) ports_.registerFileTypes();
    stepInfo_ = std::make_unique<TfrmStepInfo>(ports_.progressView, ports_.timers);
    ports_.progressView.SetCancelCaption(Lookup("CancelCap"));
    ports_.progressView.SetCaption(
        Format("[%s]\\%s", {std::string_view(Lookup("VYNRemoteConn")), std::string_view(appName)}),
        Lookup("StepCaption"));
    if (LanguageStyle()) ports_.progressView.SetBanner(LanguageStyle()->GetImage("Img1"));

    sessionIpc_ = ports_.handOver.CreateEndpoint();
    virFileIpc_ = ports_.handOver.CreateEndpoint();
    rdpClient_ = std::make_unique<TRdpClient>(ports_.control, *this,
                                              ports_.createPortMapper ? ports_.createPortMapper() : nullptr,
                                              ports_.machine, ports_.prompt, ports_.fingerPrint, settings_.rdp);
    // A plain RDP server has no shell to talk to: nothing is sent, nothing awaited.
    if (HasServerShell())
        msgShell_ = std::make_unique<TMsgShell>(*this, ports_.desktop, ports_.usb, reconnectPolicy_,
                                                TShellContext{record_.ScreenFull, settings_.swapMouseButtons,
                                                              settings_.monitorMode});
    if (record_.ScreenFull == 3) {
        msgSml_ = std::make_unique<TMsgSml>(
            *this, TSmlPorts{ports_.taskbarWindows, ports_.seamlessSurface, ports_.iconDecoder, &ports_.desktop});
        msgSml_->SetOverlayIcon(MakeOverlayBadge());
        msgSml_->SetApplicationName(appName);
    }
    if (record_.AppTypeMode == 1) {
        // A whole desktop brings its own tray inside the session; the window
        // carries the desktop icon instead (without it the default one stays).
        ports_.view.SetApplicationIcon("DESK");
    } else {
        msgTray_ = std::make_unique<TMsgTray>(*this, TTrayPorts{ports_.trayIcons, ports_.trayIconDecoder});
    }
    msgFolder_ = std::make_unique<TMsgFolder>(*this, ports_.folderPlugin);
    customMsg_ = std::make_unique<TCustomMessageHandler>(
        *msgShell_, record_, ports_.commands, ports_.timers,
        TCustomMessageHandler::TContext{settings_.programFolder, [this] { return imeWindowHandle_; }});
    if (record_.ScreenFull != 3 && ports_.frameView) {
        frame_ = std::make_unique<TDesktopFrame>(
            TDesktopFramePorts{*ports_.frameView, ports_.view, ports_.timers, ports_.usb, ports_.hotKey}, record_,
            settings_.monitorMode, settings_.hotKeyIndex,
            TDesktopFrameHost{[this] { ShowSessionWindow(); },
                              [this] { OnWindowMessage(kMsgDisconnectQuestion, ""); },
                              [this](int32_t width, int32_t height) {
                                  if (msgShell_) msgShell_->SendShellValues(SHELL_DESKTOP_SIZE, width, height);
                              }});
    }
    router_.SetRdpClient(rdpClient_.get());
    TChannelRouter::THandlers handlers;
    handlers.shell = msgShell_.get();
    handlers.seamless = msgSml_.get();
    handlers.tray = msgTray_.get();
    handlers.folder = msgFolder_.get();
    handlers.custom = [this](const uint8_t* buffer, int32_t len) { ProcessCustomMsg(buffer, len); };
    router_.SetHandlers(handlers);

    InitProgram(commandLine);
    if (handedOver_.empty()) {
        ports_.view.PlaceWindow();
        if (frame_) frame_->LayoutToolbar();
        ports_.view.SetVisible(true);
    }
}

void TfrmClientForm::InitProgram(const TCommandLine& commandLine) {
    if (DebugSwitches[dmMain]) WriteLog("InitProgram");
    if (record_.ShareSession) {
        const std::string sessionName = BuildSessionName(record_, SessionNameKind);
        const std::string virFileSessionName = BuildSessionName(record_, VirFileSessionNameKind);
        if (DebugSwitches[dmMain]) {
            WriteLog("tKivSessionName:" + sessionName);
            WriteLog("tVirFileSession:" + virFileSessionName);
        }
        sessionIpc_->FindPeer(sessionName);
        virFileIpc_->FindPeer(virFileSessionName);
        IHandOverEndpoint& needed = commandLine.VirtualFileMode ? *virFileIpc_ : *sessionIpc_;
        if (needed.PeerFound()) {
            needed.Send(THandOverRecord{record_.AppID.str(), record_.AppParam.str()}.Encode());
            handedOver_ = "111";
            Close();
            return;
        }
        auto onRecord = [this](const std::vector<uint8_t>& bytes) {
            if (auto record = THandOverRecord::Decode(bytes.data(), bytes.size()))
                QueueAppLaunch(record->AppID, record->AppParam);
        };
        virFileIpc_->Listen(virFileSessionName, onRecord);
        sessionIpc_->Listen(sessionName, onRecord);
    }
    QueueAppLaunch(record_.AppID.str(), record_.AppParam.str());
    Status(Lookup("KIVReading"));
    stepInfo_->ShowStep("Connect");
    stepInfo_->Repaint();
    stepInfo_->SetProgress(10, 5, 10);
    shellok_ = false;
    if (ports_.trafficMeter) netSpd_ = std::make_unique<TCltNetSpd>(*ports_.trafficMeter, record_, windowHandle_);
    rdpClient_->ConnectServer(record_);
    if (msgShell_) {
        msgShell_->ClientInfo = rdpClient_->ClientInfo();
        msgShell_->UsbInitParam = rdpClient_->UsbInitParam();
    }
}

void TfrmClientForm::Status(const std::string& text) {
    if (stepInfo_) stepInfo_->SetStatusText(text);
    if (DebugSwitches[dmSpeed]) WriteLog(text);
}

TClientFacts TfrmClientForm::ClientFacts() const { return ports_.clientFacts ? ports_.clientFacts() : TClientFacts{}; }

void TfrmClientForm::ErrorBox(const std::string& text) {
    CancelPendingShow();
    ShowKivMessageBox(ports_.messageBox, text, Lookup("ErrorCap"), &record_, 2, ClientFacts());
}

void TfrmClientForm::After(int milliseconds, std::function<void()> action) {
    // A one-shot timer: it stops itself before the action runs and is released with the window.
    auto self = std::make_shared<ITimer*>(nullptr);
    std::unique_ptr<ITimer> timer = ports_.timers.CreateTimer([self, action = std::move(action)] {
        (*self)->Stop();
        action();
    });
    *self = timer.get();
    timer->Start(milliseconds);
    delayed_.push_back(std::move(timer));
}

void TfrmClientForm::OnSessionStateChanged(uint16_t event, int32_t reason) {
    timerLogon_->Stop();
    bool leave = false;
    try {
        HandleEvent(event, reason, leave);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(Format("[OnSessionStateChanged] Error %s", {std::string_view(error.what())}));
        return;
    }
    if (leave) return;
    lastServerEvent_ = event;
    if (DebugSwitches[dmMain]) WriteLog(Format("[funOnSessionStateChanged]Last ServerEvent=%x", {int64_t{event}}));
}

void TfrmClientForm::HandleEvent(uint16_t event, int32_t reason, bool& leave) {
    switch (event) {
        case MSG_WINLOGON_SESSION_CONNECTING:
            OnConnecting();
            break;
        case MSG_WINLOGON_SESSION_CONNECTED:
            shellok_ = false;
            Status(Lookup("KIVConnected"));
            if (!HasServerShell()) {
                OnPlainSessionUp();
                break;
            }
            stepInfo_->SetProgress(80, 5, 100);
            ArmLogonTimer();
            break;
        case MSG_WINLOGON_AUTH_RESULT:
            OnAuthResult(reason, leave);
            break;
        case MSG_WINLOGON_MULTEACCOUNT:
            ErrorBox(Lookup("MSG_WINLOGON_MULTEACCOUNT"));
            Close();
            break;
        case MSG_WINLOGON_HIDE_WINDOW:
            HideSessionWindow();
            break;
        case MSG_WINLOGON_LOGON_OK:
            record_.ServerSessionNo = reason;
            if (!shellok_) {
                Status(Lookup("KIVLogonOK"));
                stepInfo_->SetPosition(100);
                stepInfo_->Repaint();
                Status(Lookup("KIVInitShell"));
                stepInfo_->SetProgress(1, 5, 95);
                stepInfo_->Repaint();
            }
            break;
        case MSG_WINLOGON_LOGON_ERROR:
            showErrorNoClose_ = true;
            stepInfo_->Close();
            if (const auto key = StageErrorKey(reason))
                ErrorBox(*key == "ReconnectError" ? Format(Lookup(*key), {int64_t{record_.ServerSessionNo}})
                                                  : Lookup(*key));
            Close();
            break;
        case MSG_WINLOGON_SESSION_LOGOFF:
            shellok_ = false;
            HideSessionWindow();
            stepInfo_->Close();
            rdpClient_->DisconnectServer();
            tmrDisconnected_->Start(kDisconnectedSafetyNetMs);
            if (DebugSwitches[dmMain]) WriteLog("[funOnSessionStateChanged]MSG_WINLOGON_SESSION_LOGOFF");
            break;
        case MSG_WINLOGON_SHELL_LOADING:
            record_.ServerSessionNo = reason;
            if (!shellok_ && record_.Product != 1) {
                stepInfo_->ShowStep("Logon");
                Status(Lookup("KIVLoadShell"));
                stepInfo_->SetProgress(1, 5, 95);
                ArmLogonTimer();
            }
            msgShell_->SendShellText(record_.AppID.str(), record_.DesktopPath.str() + "|" + record_.MyDocPath.str(),
                                     SHELL_DRIVE_PATHS);
            msgShell_->SendShellCommand(SHELL_MOUSE_SWAP);
            break;
        case MSG_WINLOGON_SHELL_STARTED:
            if (frame_) frame_->ActivateHotKey();
            shellok_ = true;
            Status(Lookup("KIVStartingShellOK"));
            CreateImeWindow();
            FlushAppLaunches(true);
            tmrSpeed_->Start(kSpeedReportMs);
            stepInfo_->SetPosition(100);
            stepInfo_->Repaint();
            sessionWasUp_ = true;
            tmrShowAfterStart_->Start(kSettleMs);
            break;
        case MSG_WINLOGON_APP_LOADED:
            if (DebugSwitches[dmSpeed]) WriteLog("应用程序加载完毕");
            stepInfo_->SetPosition(100);
            stepInfo_->Repaint();
            After(kSettleMs, [this] { stepInfo_->Close(); });
            break;
        case MSG_WINLOGON_APP_RUN_ERROR:
            HideSessionWindow();
            showErrorNoClose_ = true;
            stepInfo_->Close();
            // The code is the server's (a Windows system error): its meaning comes
            // from the language files, or the bare number when it has none there.
            if (const auto meaning = SystemErrorKey(reason))
                ErrorBox(Format(Lookup("AppRunError"), {int64_t{reason}, std::string_view(Lookup(*meaning))}));
            else
                ErrorBox(Format(Lookup("AppRunErrorCode"), {int64_t{reason}}));
            Close();
            break;
        case MSG_WINLOGON_APP_READY:
            stepInfo_->SetPosition(100);
            stepInfo_->Close();
            tmrSpeed_->Start(kSpeedReportMs);
            break;
        case MSG_WINLOGON_SESSION_RECONNECT:
            EndTimedReconnection();
            sessionWasUp_ = true;
            CreateImeWindow();
            ShowSessionWindow();
            authCount_ = 0;
            shellok_ = true;
            record_.ServerSessionNo = reason;
            FlushAppLaunches(false);
            Status(Format(Lookup("KivReconnect"), {int64_t{record_.ServerSessionNo}}));
            msgShell_->SendShellCommand(SHELL_RECONNECTED);
            break;
        case MSG_WINLOGON_SESSION_ERROR:
            showErrorNoClose_ = true;
            stepInfo_->Close();
            ErrorBox(SessionErrorKey(reason) == "KIV_UnKnowError" ? Format(Lookup("KIV_UnKnowError"), {int64_t{reason}})
                                                                  : Lookup(SessionErrorKey(reason)));
            Close();
            if (DebugSwitches[dmMain]) WriteLog("[funOnSessionStateChanged]MSG_WINLOGON_SESSION_ERROR");
            break;
        case MSG_WINLOGON_SESSION_DISCONNECT:
            OnDisconnect(reason, leave);
            break;
        default:
            break;  // recorded in the last event only
    }
}

void TfrmClientForm::OnConnecting() {
    if (shellok_) {
        // A live session reconnects: time it when the server allows reconnections.
        if (reconnectPolicy_.enabled && !reconnecting_) {
            reconnecting_ = true;
            reconnectStart_ = ports_.timers.Now();
            tmrAbnormalDisconnection_->Start(kReconnectCheckMs);
            if (DebugSwitches[dmMain]) WriteLog("异常掉线，正在连接......");
        }
        return;
    }
    if (reconnectPolicy_.enabled) EndTimedReconnection();
    Status(Lookup("KIVConnecting"));
    stepInfo_->SetProgress(20, 5, 80);
}

// Without a server shell the session is up once the transport is: the remote
// desktop is shown as it is, and a close disconnects first (as a live session does).
void TfrmClientForm::OnPlainSessionUp() {
    shellok_ = true;
    sessionWasUp_ = true;
    stepInfo_->SetPosition(100);
    stepInfo_->Close();
    ShowSessionWindow();
}

void TfrmClientForm::OnAuthResult(int32_t reason, bool& leave) {
    if (reason != 0) {
        authErrorShown_ = true;
        if (const auto key = AuthResultKey(reason)) ErrorBox(Lookup(*key));
        Close();
        return;
    }
    authErrorShown_ = false;
    if (shellok_) {
        stepInfo_->Close();
        return;
    }
    if (++authCount_ > 1) {
        // A second logon without a reconnection: the server lost the session.
        ErrorBox(Lookup("ReconnectError2"));
        rdpClient_->DisconnectServer();
        Close();
        leave = true;
        return;
    }
    if (record_.Product == 1) {
        authCount_ = 0;
        stepInfo_->SetPosition(100);
        stepInfo_->Repaint();
        stepInfo_->Close();
        ShowSessionWindow();
        tmrSpeed_->Stop();
        return;
    }
    stepInfo_->ShowStep("Logon");
    stepInfo_->Repaint();
    stepInfo_->SetProgress(1, 5, 80);
    Status(Lookup("KIVReadyAuth"));
    ArmLogonTimer();
}

void TfrmClientForm::OnDisconnect(int32_t reason, bool& leave) {
    leave = true;
    shellok_ = false;
    tmrSpeed_->Stop();
    FreeImeWindow();
    CancelPendingShow();
    // The control reconnects by itself before it reports anything: its disconnect
    // is the end of the session, and a timed reconnection with it.
    EndTimedReconnection();
    if (DebugSwitches[dmMain])
        WriteLog(Format("[MSG_WINLOGON_SESSION_DISCONNECT]1 Last_ServerEvent=0x%x  Reaseon=%d",
                        {int64_t{lastServerEvent_}, int64_t{reason}}));

    int32_t extended = 0;
    try {
        extended = ports_.control.ExtendedDisconnectReason();
    } catch (...) {
        extended = 0;
    }
    // Before the session was up only the client's own request ends it quietly:
    // the user is still waiting in front of the progress dialog.
    if (IsQuietDisconnect(reason, extended) && (sessionWasUp_ || IsLocalDisconnect(reason))) {
        HideSessionWindow();
        stepInfo_->Close();
        if (DebugSwitches[dmMain])
            WriteLog(std::string("[MSG_WINLOGON_SESSION_DISCONNECT]2 m_ShowErrorNoClose=") + TrueFalse(showErrorNoClose_));
        // After an error box the window waits for the user; but once the user
        // asked to close a running session, the disconnect ends the process.
        if (!showErrorNoClose_ || closeAskedWhileUp_) Close();
        return;
    }
    const std::string text =
        Lookup(sessionWasUp_ ? DisconnectTextKey(reason, extended) : EarlyDisconnectTextKey(reason, extended));
    stepInfo_->Close();
    HideSessionWindow();
    lastServerEvent_ = MSG_WINLOGON_SESSION_DISCONNECT;
    if (DebugSwitches[dmMain])
        WriteLog(Format("[funOnSessionStateChanged]Last ServerEvent=%x  Reason=%d  ErrText=%s",
                        {int64_t{MSG_WINLOGON_SESSION_DISCONNECT}, int64_t{reason}, std::string_view(text)}));
    // An error box already told the user why (and the refused logon closed).
    if (!authErrorShown_ && !showErrorNoClose_)
        ShowKivMessageBox(ports_.messageBox, text, Lookup("sInfoCaption"), &record_, 0, ClientFacts());
    Close();
}

void TfrmClientForm::OnChannelReceivedData(const std::string& chanName, const TBytes& data) {
    router_.OnChannelReceivedData(chanName, data);
}

void TfrmClientForm::OnChannelSendData(const std::string& chanName, const TBytes& data) {
    router_.OnChannelSendData(chanName, data);
}

void TfrmClientForm::EndApplication() { ports_.application.Terminate(); }

bool TfrmClientForm::RunRepairTool(const std::string& argument) {
    return ports_.runRepairTool ? ports_.runRepairTool(argument) : false;
}

void TfrmClientForm::QueueAppLaunch(const std::string& appId, const std::string& appParam) {
    pendingLaunches_.push_back(appId + "=" + appParam);
    if (shellok_) FlushAppLaunches(true);
}

bool TfrmClientForm::PopAppLaunch(std::string& appId, std::string& appParam) {
    if (pendingLaunches_.empty()) return false;
    const std::string entry = pendingLaunches_.front();
    pendingLaunches_.pop_front();
    const auto eq = entry.find('=');
    appId = entry.substr(0, eq);
    appParam = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
    return true;
}

void TfrmClientForm::FlushAppLaunches(bool first) {
    std::string appId, appParam;
    while (PopAppLaunch(appId, appParam)) SendStartApp(appId, first ? 0 : 1, appParam);
}

void TfrmClientForm::SendStartApp(const std::string& appId, int32_t value, const std::string& appParam) {
    if (msgShell_) msgShell_->SendStartApp(appId, value, appParam);
}

void TfrmClientForm::ArmLogonTimer() {
    timerLogon_->Stop();
    timerLogon_->Start(settings_.logonTimeout);
}

void TfrmClientForm::OnLogonTimer() {
    timerLogon_->Stop();
    OnSessionStateChanged(MSG_WINLOGON_LOGON_ERROR, lastServerEvent_);
}

void TfrmClientForm::HideSessionWindow() {
    CancelPendingShow();
    ports_.view.SetEmptyRegion();
    ports_.view.ShowCover(true);
}

void TfrmClientForm::PlaceWindow() {
    ports_.view.PlaceWindow();
    // Outside seamless mode the input-method window follows the window to its new place.
    if (record_.ScreenFull != 3) CenterImeWindow();
}

void TfrmClientForm::ShowSessionWindow() {
    ports_.view.ShowCover(false);
    PlaceWindow();
    if (record_.ScreenFull == 3) {
        // The seamless windows shape the window; until one exists nothing shows.
        if (msgSml_ && msgSml_->WindowList.Count() > 0) msgSml_->ReClip();
        else ports_.view.SetEmptyRegion();
    } else {
        ports_.view.SetWholeRegion();
    }
}

void TfrmClientForm::ShowWholeScreen() {
    ports_.view.ShowCover(false);
    PlaceWindow();
    const TRect work = ports_.desktop.PrimaryWorkArea();
    ports_.view.SetRegion(TRect{work.x, work.y, work.width, work.height});
}

void TfrmClientForm::CreateImeWindow() {
    if (!ImeWindowWanted(record_) || !msgShell_) return;
    if (!imeWindow_) {
        imeWindow_ = std::make_unique<TImeWindow>(*msgShell_, record_, ports_.imeWindows, record_.ScreenFull == 3);
        msgShell_->SetCaretSink(imeWindow_.get());
        if (msgSml_) msgSml_->SetImeWindow(imeWindow_.get());
    } else {
        imeWindow_->TakeFocus();
    }
    imeWindowHandle_ = imeWindow_->Handle();
}

void TfrmClientForm::FreeImeWindow() {
    if (msgShell_) msgShell_->SetCaretSink(nullptr);
    if (msgSml_) msgSml_->SetImeWindow(nullptr);
    imeWindow_.reset();
    imeWindowHandle_ = 0;
}

void TfrmClientForm::CenterImeWindow() {
    if (imeWindow_) imeWindow_->CenterOnView();
}

void TfrmClientForm::ProcessCustomMsg(const uint8_t* buffer, int32_t len) {
    if (customMsg_) customMsg_->ProcessCustomMsg(buffer, len);
}

void TfrmClientForm::OnAbnormalDisconnectionTimer() {
    tmrAbnormalDisconnection_->Stop();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(ports_.timers.Now() - reconnectStart_).count();
    if (reconnectPolicy_.enabled && seconds >= reconnectPolicy_.limitSeconds) {
        ShowKivMessageBox(ports_.messageBox, Lookup("L_NetworkErr_ErrorMessage"), Lookup("sInfoCaption"), &record_, 0,
                          ClientFacts());
        EndApplication();
        return;
    }
    tmrAbnormalDisconnection_->Start(kReconnectCheckMs);
}

void TfrmClientForm::EndTimedReconnection() {
    reconnecting_ = false;
    tmrAbnormalDisconnection_->Stop();
}

void TfrmClientForm::OnShowAfterStartTimer() {
    tmrShowAfterStart_->Stop();
    stepInfo_->Close();
    ShowSessionWindow();
}

void TfrmClientForm::OnSpeedTimer() {
    if (netSpd_ && msgShell_)
        msgShell_->SendShellValues(SHELL_TRAFFIC, netSpd_->SentLastSecond(), netSpd_->ReceivedLastSecond());
}

void TfrmClientForm::OnDisconnectedTimer() {
    showErrorNoClose_ = false;
    rdpClient_->DisconnectServer();
    tmrDisconnected_->Stop();
}

void TfrmClientForm::Close() {
    CancelPendingShow();
    if (closing_) return;
    ports_.view.SetVisible(false);
    if (DebugSwitches[dmMain]) WriteLog(std::string("[TfrmClientForm.FormClose] shellok = ") + TrueFalse(shellok_));
    if (shellok_) {
        closeAskedWhileUp_ = true;
        HideSessionWindow();
        try {
            rdpClient_->DisconnectServer();
        } catch (const std::exception& error) {
            if (DebugSwitches[dmMain]) WriteLog(std::string("FormClose:") + error.what());
        }
        return;  // the disconnect event closes again
    }
    closing_ = true;
    ports_.application.CloseMainWindow();
}

void TfrmClientForm::OnCloseQuery() {
    if (!ports_.prompt.AskYesNo(Lookup("sInfoCaption"), Lookup("ClientExitInfo"))) return;
    if (msgShell_) msgShell_->SendShellCommand(SHELL_EXIT);
    After(kSettleMs, [this] { Close(); });
}

void TfrmClientForm::OnSessionWindowClose() {
    // In seamless mode the window manager's close (Alt+F4) meant the server
    // window the user sees active, as its taskbar button's close does.
    if (msgSml_ && msgSml_->CloseActiveWindow()) return;
    OnCloseQuery();
}

void TfrmClientForm::OnEndSession() {
    if (rdpClient_) rdpClient_->DisconnectServer();
    EndApplication();
}

void TfrmClientForm::OnSuspendRequest() {
    if (msgShell_) msgShell_->SendShellCommand(SHELL_SUSPEND);
}

void TfrmClientForm::OnLogoffDebug() {
    if (msgShell_) msgShell_->SendShellCommand(SHELL_EXIT);
    HideSessionWindow();
}

void TfrmClientForm::OnDisconnectDebug() {
    if (rdpClient_) rdpClient_->DisconnectServer();
    Close();
}

void TfrmClientForm::OnWindowMessage(uint32_t message, const std::string& text) {
    switch (message) {
        case kMsgStartApp:
            if (msgShell_) msgShell_->SendShellText(text, "", SHELL_START_APP);
            break;
        case kMsgLogOffQuestion:
            if (ports_.prompt.AskYesNo(Lookup("sInfoCaption"), Lookup("VYNLogOffInfo"))) HideSessionWindow();
            break;
        case kMsgDisconnectQuestion:
            if (ports_.prompt.AskYesNo(Lookup("sInfoCaption"), Lookup("VYNDisconnect"))) {
                if (rdpClient_) rdpClient_->DisconnectServer();
                Close();
            }
            break;
        case kMsgShowApplication:
            ports_.view.BringToFront();
            ports_.view.SetVisible(true);
            break;
        case kMsgShowWholeScreen:
            ports_.view.BringToFront();
            ports_.view.SetVisible(true);
            ShowWholeScreen();
            break;
        case kMsgStartDebugApp:
            if (msgShell_) msgShell_->SendShellText("APP_DEBUG01", "", SHELL_START_APP);
            break;
        default:
            break;
    }
}

void TfrmClientForm::Shutdown() {
    if (DebugSwitches[dmMain]) WriteLog("[TfrmClientForm.FormDestroy] begin");
    try {
        sessionIpc_.reset();
        virFileIpc_.reset();
        stepInfo_.reset();
        FreeImeWindow();
        router_.SetHandlers({});
        router_.SetRdpClient(nullptr);
        msgFolder_.reset();
        frame_.reset();
        msgTray_.reset();
        customMsg_.reset();
        msgSml_.reset();
        msgShell_.reset();
        rdpClient_.reset();
        // The traffic meter stays until the form goes: the connection's last
        // bytes (its goodbye, the TLS close) are still to be counted.
        pendingLaunches_.clear();
        delayed_.clear();
    } catch (...) {
        // The process ends anyway.
    }
    if (DebugSwitches[dmMain]) WriteLog("[TfrmClientForm.FormDestroy] end");
    if (!HandedOver()) {
        for (const char* program : {"vstreamer", "vx_display"}) {
            if (DebugSwitches[dmMain]) WriteLog(std::string("taskkill /IM ") + program + " /F");
            ports_.application.KillUserProcesses(program);
        }
    }
}

}  // namespace kiv
