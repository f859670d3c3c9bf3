#include "session/RdpClient.h"

#include <exception>
#include <utility>

#include "infra/CodePage.h"
#include "infra/DebugLog.h"
#include "infra/IniImage.h"
#include "infra/LanguageStyle.h"
#include "infra/TextFormat.h"
#include "infra/TextRules.h"
#include "launch/CredentialCodec.h"
#include "launch/FarmList.h"
#include "session/ConnectParameters.h"
#include "session/SessionEvents.h"

namespace kiv {

namespace {

constexpr uint32_t kHighPriorityShowProtocol = 0x08200000;
constexpr uint32_t kHighPriorityCompressed = 0x08800000;

std::string Lookup(std::string_view key) { return LanguageStyle() ? LanguageStyle()->GetText(key) : std::string(); }

// Record texts are in the system code page; the control takes UTF-8.
std::string ForControl(std::string_view bytes) { return SystemToUtf8(bytes); }

}  // namespace

TRdpClient::TRdpClient(IRemoteDesktopControl& control, IRdpClientOwner& owner,
                       std::unique_ptr<IPortMapper> portMapper, const IMachineSettings& machine,
                       IMessagePrompt& prompt, std::function<std::string()> getFingerPrint,
                       TRdpClientSettings settings)
    : control_(&control),
      owner_(owner),
      portMapper_(std::move(portMapper)),
      machine_(machine),
      prompt_(prompt),
      getFingerPrint_(std::move(getFingerPrint)),
      settings_(std::move(settings)) {
    control.SetEvents(this);
    if (IAdvancedSettings* a7 = control.AdvancedSettings(TAdvancedSettingsLevel::Level7)) {
        a7->SetAudioCaptureRedirectionMode(true);
        if (settings_.EnableNLA) a7->SetEnableCredSspSupport(true);
    }
    if (IAdvancedSettings* a = control.AdvancedSettings(TAdvancedSettingsLevel::Basic)) a->SetSmartSizing(true);
}

TRdpClient::~TRdpClient() {
    if (control_ != nullptr) control_->SetEvents(nullptr);
}

void TRdpClient::ConnectServer(TKIVFile& record) {
    for (;;) {
        try {
            ConnectSequence(record);
            return;
        } catch (const std::exception& error) {
            if (!OfferRepair(error.what())) return;
        }
    }
}

// OK runs the repair tool; when it reports success the sequence starts again.
bool TRdpClient::OfferRepair(const std::string& message) {
    const std::string text = Lookup("KIVConfigParamErr") + "\r\n" + message + "\r\n" + Lookup("L_TryToFix_Message");
    if (prompt_.AskOkCancel(Lookup("ErrorCap"), text) == TPromptAnswer::Ok && owner_.RunRepairTool("fixcax"))
        return true;
    owner_.CloseSessionWindow();
    return false;
}

void TRdpClient::ConnectSequence(TKIVFile& S) {
    IRemoteDesktopControl& control = *control_;
    control.CreateVirtualChannels("CSML,CSMT,CSMP");
    IAdvancedSettings* advanced = control.AdvancedSettings(TAdvancedSettingsLevel::Level3);
    if (advanced) advanced->SetEnableAutoReconnect(true);
    if (IAdvancedSettings* a7 = control.AdvancedSettings(TAdvancedSettingsLevel::Level7)) {
        if (DebugSwitches[dmMain])
            WriteLog("[RDPConnect:NetworkConnectionType]" + std::to_string(a7->NetworkConnectionType()));
        a7->SetNetworkConnectionType(2);
    }
    control.SetVirtualChannelOptions("CSMP", kHighPriorityShowProtocol);
    control.SetVirtualChannelOptions("CSML", kHighPriorityShowProtocol);
    control.SetVirtualChannelOptions("CSMT", kHighPriorityCompressed);
    // A control without these settings cannot be configured: nothing is attempted.
    if (advanced == nullptr) return;

    ReadFarmProxy(S.ProxySet, S.FarmProtocol.str() + "://" + S.FarmHost.str() + ":" + std::to_string(S.FarmPort));
    ChooseAddress(S, *advanced);
    SetLogon(S, *advanced);

    const std::string fp = getFingerPrint_ ? getFingerPrint_() : std::string();
    const std::string fp2;
    ISecuredSettings* secured = control.SecuredSettings();
    if (!S.ShellPath.empty()) {
        const std::string commandLine = BuildStartProgram(S, fp, fp2, settings_.ClientCharset);
        if (secured) {
            secured->SetWorkDir(ForControl(ShellWorkDir(S.ShellPath)));
            secured->SetStartProgram(ForControl(commandLine));
        }
    } else {
        clientInfo_ = BuildClientInfo(S, fp, fp2, settings_.ClientCharset);
        if (secured) secured->SetKeyboardHookMode(S.ScreenFull == 1 ? 1 : 0);
    }
    usbInitParam_ = BuildUsbInitParam(S, fp, fp2);

    advanced->SetSmoothScroll(1);
    advanced->SetEnableAutoReconnect(true);
    advanced->SetMaximizeShell(0);
    try {
        advanced->SetPluginDlls(ForControl(BuildPluginDlls(GetRdpdrAddIns(machine_))));
    } catch (const std::exception&) {
        // The plug-in list is a convenience: without it the session still works.
    }
    control.SetColorDepth(ColorDepthOf(S.Color));

    advanced->SetPerformanceFlags(GetPerformanceFlags(S));
    advanced->SetDisableRdpdr(0);
    advanced->SetRedirectDrives(S.RedirectDrive == 1);
    advanced->SetRedirectPrinters(S.RedirectPrinter == 1);
    advanced->SetRedirectPorts(S.RedirectPort == 1);
    advanced->SetRedirectSmartCards(S.RedirectUsb == 1);
    if (secured) {
        if (S.RedirectAudio == 1) secured->SetAudioRedirectionMode(0);
        else if (S.RedirectAudio == 0) secured->SetAudioRedirectionMode(2);
    }
    advanced->SetCompress(1);
    advanced->SetCachePersistenceActive(1);

    if (S.ScreenFull != 3) {
        advanced->SetEnableWindowsKey(1);
        if (S.AppTypeMode != 1) advanced->SetHotKeyCtrlAltDel(0);
    } else {
        // Seamless windows share the local desktop: its keys stay local.
        advanced->SetEnableWindowsKey(0);
        advanced->SetHotKeyCtrlAltDel(0);
        advanced->SetHotKeyAltEsc(0);
        advanced->SetHotKeyFullScreen(0);
        advanced->SetHotKeyCtrlEsc(0);
        advanced->SetHotKeyAltTab(0);
        advanced->SetHotKeyAltShiftTab(0);
    }

    if (S.ServerIPType == 2) {
        const TBytes cookie = BuildLoadBalanceInfo(S.SessionID);
        advanced->SetLoadBalanceInfo(cookie);
        if (DebugSwitches[dmMain])
            WriteLog("[ServerIPType:]" + std::to_string(S.ServerIPType) + " 负载均衡:" +
                     std::string(cookie.begin(), cookie.end()));
    }
    if (DebugSwitches[dmMain]) WriteLog("[TfrmClientForm.ClientConnectServer]准备参数完毕开始连接服务器");
    if (S.Product == 1 || (S.ScreenFull == 3 && S.Width > 0 && S.Height > 0)) {
        control.SetDesktopWidth(S.Width);
        control.SetDesktopHeight(S.Height);
    }
    control.Connect();
}

void TRdpClient::ChooseAddress(const TKIVFile& S, IAdvancedSettings& advanced) {
    IRemoteDesktopControl& control = *control_;
    if (S.ProxySet.ProxyType != 0) {
        portMapper_->SetProxy(S.ProxySet);
        portMapper_->SetActive(true);
        control.SetServer("127.0.0.1");
        portMapper_->SetTargetHost(S.ServerHost.str());
        portMapper_->SetTargetPort(S.ServerPort);
        advanced.SetRDPPort(portMapper_->GetLocalPort());
        return;
    }
    control.SetServer(ForControl(S.ServerHost));
    const std::string server = control.Server();
    if ((server == "127.0.0.1" || EqualsNoCase(server, "LocalHost")) && machine_.ValueExists("Infomation", "termsrv") &&
        StrToIntDef(machine_.ReadString("Infomation", "termsrv"), 0) == 1)
        control.SetServer("127.0.0.2");
    advanced.SetRDPPort(S.ServerPort);
    if (machine_.ValueExists("Debug", "agsport") && machine_.ValueExists("Debug", "agshost")) {
        control.SetServer(machine_.ReadString("Debug", "agshost"));
        advanced.SetRDPPort(DecimalToIntDef(machine_.ReadString("Debug", "agsport"), 5880));
    }
}

void TRdpClient::SetLogon(const TKIVFile& S, IAdvancedSettings& advanced) {
    if (settings_.KivFileisEn && DebugSwitches[dmMain]) {
        // A hand-written file with plain logon fields decodes to nonsense: say why the logon will fail.
        std::string plain;
        for (const auto& [key, value] : {std::pair<const char*, std::string_view>{"Login_User", S.LoginUser},
                                         {"Login_PassWord", S.LoginPassWord},
                                         {"Login_domain", S.LoginDomain}})
            if (!LooksLikeStoredCredential(value)) plain += std::string(plain.empty() ? "" : ",") + key;
        if (!plain.empty())
            WriteLog("[TRdpClient.SetLogon]" + plain +
                     " in plain text while KivFileisEn is 1: decoded all the same (kivtool make-kiv writes the stored form)");
    }
    const TLogon logon = BuildLogon(S, settings_.KivFileisEn);
    control_->SetUserName(ForControl(logon.user));
    if (settings_.KivFileisEn) {
        if (logon.setPassword) advanced.SetClearTextPassword(ForControl(logon.password));
        control_->SetDomain(ForControl(logon.domain));
    } else {
        control_->SetDomain(ForControl(logon.domain));
        advanced.SetClearTextPassword(ForControl(logon.password));
    }
}

void TRdpClient::DisconnectServer() {
    try {
        if (DebugSwitches[dmMain]) WriteLog("[TRdpClient.DisconnectServer]");
        if (connected_ && control_ != nullptr) {
            connected_ = false;
            control_->Disconnect();
            return;
        }
        owner_.OnSessionStateChanged(MSG_WINLOGON_SESSION_DISCONNECT, kDisconnectWithoutConnection);
        owner_.EndApplication();
    } catch (...) {
        // Closing must go on whatever the control says.
    }
}

void TRdpClient::SendBuffer(const std::string& chanName, const TBytes& data) {
    try {
        if (control_ != nullptr && connected_) control_->SendOnVirtualChannel(chanName, data);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TRdpClient.SendBuffer]Exception:") + error.what());
    }
}

void TRdpClient::OnConnecting() { owner_.OnSessionStateChanged(MSG_WINLOGON_SESSION_CONNECTING, 0); }

void TRdpClient::OnConnected() {
    connected_ = true;
    owner_.OnSessionStateChanged(MSG_WINLOGON_SESSION_CONNECTED, 0);
}

void TRdpClient::OnDisconnected(int32_t discReason) {
    if (DebugSwitches[dmMain]) WriteLog(Format("[RdpClient.OnDisconnected]Reason=%d", {int64_t{discReason}}));
    connected_ = false;
    if ((discReason == 772 || discReason == 1028) && control_ != nullptr) {
        const int32_t extended = control_->ExtendedDisconnectReason();
        if (DebugSwitches[dmMain])
            WriteLog(Format("[RdpClient.OnDisconnected]Reason=%d EReason=%.8x",
                            {int64_t{discReason}, int64_t{extended}}));
    }
    owner_.OnSessionStateChanged(MSG_WINLOGON_SESSION_DISCONNECT, discReason);
    // The session is over: the wrapper no longer touches the control.
    if (control_ != nullptr) control_->SetEvents(nullptr);
    control_ = nullptr;
}

void TRdpClient::OnFatalError(int32_t errorCode) {
    try {
        owner_.OnSessionStateChanged(MSG_WINLOGON_SESSION_ERROR, errorCode);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain]) WriteLog(std::string("[TRdpClient.OnFatalError]Exception:") + error.what());
    }
}

void TRdpClient::OnChannelReceivedData(const std::string& chanName, const TBytes& data) {
    try {
        owner_.OnChannelReceivedData(chanName, data);
    } catch (const std::exception& error) {
        if (DebugSwitches[dmMain])
            WriteLog(std::string("[TRdpClient.OnChannelReceivedData]Exception:") + error.what());
    }
}

}  // namespace kiv
