#pragma once
// TfrmClientForm: the session window's logic. It owns the session: the control
// wrapper, the channel handlers, the progress dialog, the hand-over endpoints and
// the queue of application launches; OnSessionStateChanged turns every session
// event into progress, messages, visibility and, in the end, the close.
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "channels/ChannelRouter.h"
#include "channels/CustomMessages.h"
#include "channels/ImeWindow.h"
#include "channels/MsgShell.h"
#include "channels/MsgSml.h"
#include "desktop/MsgTray.h"
#include "desktop/MsgFolder.h"
#include "infra/CltNetSpd.h"
#include "launch/CommandLine.h"
#include "launch/KivFile.h"
#include "ports/CommandRunner.h"
#include "ports/DesktopFacts.h"
#include "ports/FolderPlugin.h"
#include "ports/FrameView.h"
#include "ports/GlobalHotKey.h"
#include "ports/HandOver.h"
#include "ports/ImeWindowView.h"
#include "ports/MachineSettings.h"
#include "ports/MessageBoxView.h"
#include "ports/MessagePrompt.h"
#include "ports/ProcessStarter.h"
#include "ports/ProgressView.h"
#include "ports/RemoteDesktopControl.h"
#include "ports/SessionWindowView.h"
#include "ports/TaskbarWindows.h"
#include "ports/Timer.h"
#include "ports/TrayIcons.h"
#include "ports/UsbLibrary.h"
#include "session/DesktopFrame.h"
#include "session/KivMessageBox.h"
#include "proxy/PortMapper.h"
#include "session/RdpClient.h"
#include "session/StepInfo.h"

namespace kiv {

// The session window's custom requests (from the local control socket) and the
// window events they stand for.
enum TSessionWindowMessage : uint32_t {
    kMsgStartApp = 0x1850,
    kMsgLogOffQuestion = 0x1851,
    kMsgDisconnectQuestion = 0x1852,
    kMsgShowApplication = 0x1853,
    kMsgShowWholeScreen = 0x1854,
    kMsgNothing = 0x1855,
    kMsgStartDebugApp = 0x1856,
};

// Everything outside the logic, by port.
struct TClientFormPorts {
    IRemoteDesktopControl& control;
    ISessionWindowView& view;
    IProgressView& progressView;
    IMessageBoxView& messageBox;
    IMessagePrompt& prompt;
    ITimerFactory& timers;
    IApplicationControl& application;
    const IMachineSettings& machine;
    const IDesktopFacts& desktop;
    IHandOverFactory& handOver;
    IProcessStarter& processes;
    IUsbLibrary* usb = nullptr;
    std::function<std::unique_ptr<IPortMapper>()> createPortMapper;
    std::function<std::string()> fingerPrint;
    std::function<bool(const std::string&)> runRepairTool;
    // The file-type registration of every session start; silent whatever happens.
    std::function<void()> registerFileTypes;
    // The machine's facts shown in a message box's details, read when a box shows them.
    std::function<TClientFacts()> clientFacts;
    // Seamless mode: the taskbar windows of the server's windows, the windows the
    // clipping shapes, and the decoder of compressed icon images.
    ITaskbarWindows* taskbarWindows = nullptr;
    ISeamlessSurface* seamlessSurface = nullptr;
    const IIconImageDecoder* iconDecoder = nullptr;
    // The local tray icons of the server's applications, and the reader of
    // their icon files (every display mode but a whole desktop).
    ITrayIcons* trayIcons = nullptr;
    const ITrayIconDecoder* trayIconDecoder = nullptr;
    // The traffic meter's machinery (none: no meter, no traffic report) and the
    // folder plug-in (none: folder messages are dropped).
    const TTrafficMeterPorts* trafficMeter = nullptr;
    IFolderPlugin* folderPlugin = nullptr;
    // The input-method window over the view, and the shell the video programs run in.
    IImeWindowFactory* imeWindows = nullptr;
    ICommandRunner* commands = nullptr;
    // The frame around a whole remote desktop (every mode but seamless), and
    // the desktop's hot keys for its monitor hot key.
    IFrameView* frameView = nullptr;
    IGlobalHotKey* hotKey = nullptr;
};

// What the program entry read before the session window was set up.
struct TClientFormSettings {
    TRdpClientSettings rdp;
    bool swapMouseButtons = false;
    int monitorMode = 0;
    int hotKeyIndex = 6;  // the monitor hot key's letter, 0 = A
    int32_t logonTimeout = 30000;
    std::filesystem::path programFolder;  // "vdebug.ini" and the video programs
};

class TfrmClientForm : public IRdpClientOwner, public IChannelHost {
public:
    TfrmClientForm(TClientFormPorts ports, TKIVFile& record, TClientFormSettings settings);
    ~TfrmClientForm() override;

    // The set-up steps after the command line was read, then InitProgram.
    void SetUp(const TCommandLine& commandLine);
    void InitProgram(const TCommandLine& commandLine);

    // IRdpClientOwner
    void OnSessionStateChanged(uint16_t event, int32_t reason) override;
    void OnChannelReceivedData(const std::string& chanName, const TBytes& data) override;
    void CloseSessionWindow() override { Close(); }
    void EndApplication() override;
    bool RunRepairTool(const std::string& argument) override;

    // IChannelHost
    void OnChannelSendData(const std::string& chanName, const TBytes& data) override;
    TWindowHandle MainFormHandle() const override { return windowHandle_; }
    void SetWindowHandle(TWindowHandle handle) { windowHandle_ = handle; }

    void QueueAppLaunch(const std::string& appId, const std::string& appParam);
    bool PopAppLaunch(std::string& appId, std::string& appParam);
    void FlushAppLaunches(bool first);
    void ArmLogonTimer();
    void HideSessionWindow();
    void ShowSessionWindow();
    void ShowWholeScreen();
    // The input-method window: made when the shell started or the session came
    // back (unless the server's input method is used), gone at a disconnect.
    void CreateImeWindow();
    void FreeImeWindow();
    // IMEW_CENTER: the window moved to another monitor outside seamless mode.
    void CenterImeWindow();
    // Places the window by the display mode; the input-method window follows.
    void PlaceWindow();
    void ProcessCustomMsg(const uint8_t* buffer, int32_t len);

    // The window's events.
    void Close();                       // the close request
    void OnCloseQuery();                // the user closes the window (WM_CLOSE)
    void OnSessionWindowClose();        // the window manager closes the session window
    void OnEndSession();                // the desktop session ends
    void OnSuspendRequest();            // the machine is about to sleep
    void OnLogoffDebug();               // "WM_MSG_LOGOFF_DEBUG"
    void OnDisconnectDebug();           // "WM_MSG_DISCONNECT_DEBUG"
    void OnWindowMessage(uint32_t message, const std::string& text);
    // The cancel button of the progress dialog.
    void OnProgressCancel() { OnCloseQuery(); }
    // The event loop has ended: release everything in order and end the process.
    void Shutdown();

    // State, for tests and diagnostics.
    bool ShellOk() const { return shellok_; }
    bool ShowErrorNoClose() const { return showErrorNoClose_; }
    bool AuthErrorShown() const { return authErrorShown_; }
    int32_t AuthCount() const { return authCount_; }
    uint16_t LastServerEvent() const { return lastServerEvent_; }
    bool Reconnecting() const { return reconnecting_; }
    bool HandedOver() const { return handedOver_ == "111"; }
    const std::deque<std::string>& PendingLaunches() const { return pendingLaunches_; }
    TRdpClient* RdpClient() const { return rdpClient_.get(); }
    TMsgShell* MsgShell() const { return msgShell_.get(); }
    TMsgSml* MsgSml() const { return msgSml_.get(); }
    TMsgTray* MsgTray() const { return msgTray_.get(); }
    TMsgFolder* MsgFolder() const { return msgFolder_.get(); }
    TCltNetSpd* NetSpd() const { return netSpd_.get(); }
    TfrmStepInfo* StepInfo() const { return stepInfo_.get(); }
    TImeWindow* ImeWindow() const { return imeWindow_.get(); }
    uint64_t ImeWindowHandle() const { return imeWindowHandle_; }
    TDesktopFrame* Frame() const { return frame_.get(); }
    TReconnectPolicy& ReconnectPolicy() { return reconnectPolicy_; }

private:
    void HandleEvent(uint16_t event, int32_t reason, bool& leave);
    void OnConnecting();
    bool HasServerShell() const { return record_.ServerShell != 0; }
    void OnPlainSessionUp();
    void OnAuthResult(int32_t reason, bool& leave);
    void OnDisconnect(int32_t reason, bool& leave);
    void ErrorBox(const std::string& text);
    TClientFacts ClientFacts() const;
    void Status(const std::string& text);
    std::string Lookup(std::string_view key) const;
    void After(int milliseconds, std::function<void()> action);
    void OnLogonTimer();
    void OnAbnormalDisconnectionTimer();
    void OnSpeedTimer();
    void OnDisconnectedTimer();
    void OnShowAfterStartTimer();
    // Whatever hides or ends the session after the shell started wins over the
    // window's pending show.
    void CancelPendingShow() { tmrShowAfterStart_->Stop(); }
    // A completed (or abandoned) reconnection is no longer timed.
    void EndTimedReconnection();
    void SendStartApp(const std::string& appId, int32_t value, const std::string& appParam);

    TClientFormPorts ports_;
    TKIVFile& record_;
    TClientFormSettings settings_;
    TWindowHandle windowHandle_ = 0;

    bool shellok_ = false;
    bool showErrorNoClose_ = false;
    bool authErrorShown_ = false;
    int32_t authCount_ = 0;
    std::deque<std::string> pendingLaunches_;  // AppID "=" AppParam
    uint16_t lastServerEvent_ = 0;
    TReconnectPolicy reconnectPolicy_;
    bool reconnecting_ = false;
    std::chrono::system_clock::time_point reconnectStart_;
    std::string handedOver_;
    bool closing_ = false;
    bool closeAskedWhileUp_ = false;
    // The session was up once (shell started, session reconnected, or a plain
    // server's transport): a disconnect before that is never a quiet one.
    bool sessionWasUp_ = false;

    std::unique_ptr<TfrmStepInfo> stepInfo_;
    std::unique_ptr<IHandOverEndpoint> sessionIpc_;
    std::unique_ptr<IHandOverEndpoint> virFileIpc_;
    std::unique_ptr<TRdpClient> rdpClient_;
    std::unique_ptr<TMsgShell> msgShell_;
    std::unique_ptr<TMsgSml> msgSml_;
    std::unique_ptr<TMsgTray> msgTray_;
    std::unique_ptr<TMsgFolder> msgFolder_;
    std::unique_ptr<TCustomMessageHandler> customMsg_;
    std::unique_ptr<TImeWindow> imeWindow_;
    uint64_t imeWindowHandle_ = 0;
    std::unique_ptr<TDesktopFrame> frame_;
    TChannelRouter router_;
    std::unique_ptr<TCltNetSpd> netSpd_;

    std::unique_ptr<ITimer> timerLogon_;
    std::unique_ptr<ITimer> tmrDisconnected_;
    std::unique_ptr<ITimer> tmrAbnormalDisconnection_;
    std::unique_ptr<ITimer> tmrSpeed_;
    std::unique_ptr<ITimer> tmrShowAfterStart_;  // the pause between the shell's start and the show
    std::vector<std::unique_ptr<ITimer>> delayed_;
};

}  // namespace kiv
