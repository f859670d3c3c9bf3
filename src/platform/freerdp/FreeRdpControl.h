#pragma once
// The remote-desktop control on FreeRDP 2: the classic control's settings,
// methods and events over one FreeRDP connection at a time, plus the frame
// buffer and input for the view that shows the session.
//
// Threads: everything here is called on the GUI thread, and every event comes
// back on it (posted through IMainLoop by the connection's worker). Destroying
// the control while a connection runs is safe: the connection is aborted, its
// queued events are dropped, an unanswered certificate question is refused, and
// the worker is joined before the destructor returns.
#include <chrono>
#include <memory>
#include <string>

#include "ports/CertificatePrompt.h"
#include "ports/MainLoop.h"
#include "ports/RemoteDesktopControl.h"
#include "ports/RemoteDisplay.h"
#include "platform/freerdp/SessionObserver.h"
#include "session/ControlSettings.h"

namespace kiv {

class TFreeRdpSession;

// Empty texts take the defaults.
struct TFreeRdpControlOptions {
    std::string configPath;  // FreeRDP's own folder (known hosts); default: the user folder + "freerdp"
    std::chrono::milliseconds connectTimeout{20000};
    std::string homeFolder;  // shared as drive "home" with drive redirection; default $HOME
    // Ask for the display-control channel, so the desktop can follow the view's size.
    bool displayControl = false;
    // A certificate that does not verify against the system's CA store and is not
    // remembered yet is remembered without a question ("KivClient.ini" of managed
    // machines); otherwise the user is asked and the answer is remembered.
    bool trustFirstCertificate = false;
};

class TFreeRdpControl final : public IRemoteDesktopControl,
                              public IAdvancedSettings,
                              public ISecuredSettings,
                              public IRemoteDisplay,
                              private ISessionObserver {
public:
    TFreeRdpControl(IMainLoop& loop, ICertificatePrompt& prompt, TFreeRdpControlOptions options = {});
    ~TFreeRdpControl() override;
    TFreeRdpControl(const TFreeRdpControl&) = delete;
    TFreeRdpControl& operator=(const TFreeRdpControl&) = delete;

    // The settings as they stand; the view reads the keyboard and hot-key ones.
    const TControlSettings& Settings() const { return settings_; }
    bool IsConnected() const { return connected_; }

    // IRemoteDesktopControl
    void SetEvents(IRemoteDesktopEvents* events) override { events_ = events; }
    void CreateVirtualChannels(const std::string& names) override;
    void SetVirtualChannelOptions(const std::string& name, uint32_t options) override;
    void SetServer(const std::string& host) override { settings_.server = host; }
    std::string Server() const override { return settings_.server; }
    void SetUserName(const std::string& user) override { settings_.userName = user; }
    void SetDomain(const std::string& domain) override { settings_.domain = domain; }
    void SetColorDepth(int32_t bits) override;
    void SetDesktopWidth(int32_t pixels) override;
    void SetDesktopHeight(int32_t pixels) override;
    IAdvancedSettings* AdvancedSettings(TAdvancedSettingsLevel level) override;
    ISecuredSettings* SecuredSettings() override { return this; }
    void Connect() override;
    void Disconnect() override;
    void SendOnVirtualChannel(const std::string& chanName, const TBytes& data) override;
    int32_t ExtendedDisconnectReason() const override { return extendedReason_; }

    // IAdvancedSettings
    void SetSmartSizing(bool value) override { settings_.smartSizing = value; }
    void SetEnableAutoReconnect(bool value) override { settings_.enableAutoReconnect = value; }
    void SetRDPPort(int32_t port) override;
    void SetClearTextPassword(const std::string& password) override { settings_.clearTextPassword = password; }
    void SetSmoothScroll(int32_t value) override { settings_.smoothScroll = value; }
    void SetMaximizeShell(int32_t value) override { settings_.maximizeShell = value; }
    void SetPluginDlls(const std::string& list) override { settings_.pluginDlls = list; }
    void SetPerformanceFlags(int32_t flags) override { settings_.performanceFlags = flags; }
    void SetDisableRdpdr(int32_t value) override { settings_.disableRdpdr = value; }
    void SetRedirectDrives(bool value) override { settings_.redirectDrives = value; }
    void SetRedirectPrinters(bool value) override { settings_.redirectPrinters = value; }
    void SetRedirectPorts(bool value) override { settings_.redirectPorts = value; }
    void SetRedirectSmartCards(bool value) override { settings_.redirectSmartCards = value; }
    void SetCompress(int32_t value) override { settings_.compress = value; }
    void SetCachePersistenceActive(int32_t value) override { settings_.cachePersistenceActive = value; }
    void SetEnableWindowsKey(int32_t value) override { settings_.enableWindowsKey = value; }
    void SetHotKeyCtrlAltDel(int32_t value) override { settings_.hotKeyCtrlAltDel = value; }
    void SetHotKeyAltEsc(int32_t value) override { settings_.hotKeyAltEsc = value; }
    void SetHotKeyFullScreen(int32_t value) override { settings_.hotKeyFullScreen = value; }
    void SetHotKeyCtrlEsc(int32_t value) override { settings_.hotKeyCtrlEsc = value; }
    void SetHotKeyAltTab(int32_t value) override { settings_.hotKeyAltTab = value; }
    void SetHotKeyAltShiftTab(int32_t value) override { settings_.hotKeyAltShiftTab = value; }
    void SetLoadBalanceInfo(const TBytes& cookie) override { settings_.loadBalanceInfo = cookie; }
    void SetAudioCaptureRedirectionMode(bool value) override { settings_.audioCaptureRedirectionMode = value; }
    void SetEnableCredSspSupport(bool value) override { settings_.enableCredSspSupport = value; }
    int32_t NetworkConnectionType() const override { return settings_.networkConnectionType; }
    void SetNetworkConnectionType(int32_t value) override;

    // ISecuredSettings
    void SetWorkDir(const std::string& folder) override { settings_.workDir = folder; }
    void SetStartProgram(const std::string& commandLine) override { settings_.startProgram = commandLine; }
    void SetKeyboardHookMode(int32_t mode) override;
    void SetAudioRedirectionMode(int32_t mode) override;

    // IRemoteDisplay
    void SetDisplayListener(IRemoteDisplayListener* listener) override { listener_ = listener; }
    void ReadFrame(const std::function<void(const TFrameView&)>& reader) override;
    void SendMouseEvent(uint16_t flags, int32_t x, int32_t y) override;
    void SendKeyEvent(uint32_t x11Keycode, bool down) override;
    void SendUnicodeKey(uint16_t codeUnit, bool down) override;
    bool RequestDesktopSize(int32_t width, int32_t height) override;

    // Before Connect: whether the desktop may follow the view's size.
    void SetDisplayControl(bool enabled) { options_.displayControl = enabled; }

private:
    // ISessionObserver: the connection's events, on the GUI thread.
    void OnSessionConnecting() override;
    void OnSessionConnected() override;
    void OnSessionDisconnected(const TDisconnectReason& reason) override;
    void OnSessionFatalError(int32_t errorCode) override;
    void OnSessionChannelData(const std::string& channel, const TBytes& data) override;
    void OnSessionDesktopResized(int32_t width, int32_t height) override;
    void OnSessionFrameDamaged(const std::vector<TRect>& damaged) override;
    bool OnSessionCertificateQuestion(const TCertificateQuestion& question) override;

    IMainLoop& loop_;
    ICertificatePrompt& prompt_;
    TFreeRdpControlOptions options_;
    TControlSettings settings_;
    IRemoteDesktopEvents* events_ = nullptr;
    IRemoteDisplayListener* listener_ = nullptr;
    std::unique_ptr<TFreeRdpSession> session_;
    bool connected_ = false;
    int32_t extendedReason_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for the control's own posts
};

}  // namespace kiv
