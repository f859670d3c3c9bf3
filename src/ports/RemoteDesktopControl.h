#pragma once
// The remote-desktop control: protocol, rendering, input, redirection and the
// three virtual channels of the server shell. The connect sequence configures it
// through these setters and drives it with Connect/Disconnect; the outcome comes
// back as events, always on the GUI thread.
//
// Channel payloads are bytes. What travels is already framed by the channel layer
// (channels/ChannelPayload.h): the control neither adds nor strips anything.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

using TBytes = std::vector<uint8_t>;

class IRemoteDesktopEvents {
public:
    virtual ~IRemoteDesktopEvents() = default;
    virtual void OnConnecting() = 0;
    virtual void OnConnected() = 0;
    // Once per session end, also for failed attempts; reasons are the classic
    // control's numbers (1 local, 2 remote by user, 3 by server, 264 timed out,
    // 516 connect failed, 2308 socket closed, ...).
    virtual void OnDisconnected(int32_t discReason) = 0;
    virtual void OnFatalError(int32_t errorCode) = 0;
    // One call per complete message on one of the created channels.
    virtual void OnChannelReceivedData(const std::string& chanName, const TBytes& data) = 0;
};

// Which settings interface the control's advanced settings answer as.
enum class TAdvancedSettingsLevel { Basic = 1, Level3 = 3, Level7 = 7 };

// The advanced settings. Flags the classic control takes as automation booleans
// are bool here (the control's -1/0); the others are its 32-bit integers.
class IAdvancedSettings {
public:
    virtual ~IAdvancedSettings() = default;
    // Basic level
    virtual void SetSmartSizing(bool value) = 0;
    // Level 3
    virtual void SetEnableAutoReconnect(bool value) = 0;
    virtual void SetRDPPort(int32_t port) = 0;
    virtual void SetClearTextPassword(const std::string& password) = 0;
    virtual void SetSmoothScroll(int32_t value) = 0;
    virtual void SetMaximizeShell(int32_t value) = 0;
    virtual void SetPluginDlls(const std::string& list) = 0;
    virtual void SetPerformanceFlags(int32_t flags) = 0;
    virtual void SetDisableRdpdr(int32_t value) = 0;
    virtual void SetRedirectDrives(bool value) = 0;
    virtual void SetRedirectPrinters(bool value) = 0;
    virtual void SetRedirectPorts(bool value) = 0;
    virtual void SetRedirectSmartCards(bool value) = 0;
    virtual void SetCompress(int32_t value) = 0;
    virtual void SetCachePersistenceActive(int32_t value) = 0;
    virtual void SetEnableWindowsKey(int32_t value) = 0;
    virtual void SetHotKeyCtrlAltDel(int32_t value) = 0;
    virtual void SetHotKeyAltEsc(int32_t value) = 0;
    virtual void SetHotKeyFullScreen(int32_t value) = 0;
    virtual void SetHotKeyCtrlEsc(int32_t value) = 0;
    virtual void SetHotKeyAltTab(int32_t value) = 0;
    virtual void SetHotKeyAltShiftTab(int32_t value) = 0;
    // The routing token, as the bytes of the wide string (two per code unit, low first).
    virtual void SetLoadBalanceInfo(const TBytes& cookie) = 0;
    // Level 7
    virtual void SetAudioCaptureRedirectionMode(bool value) = 0;
    virtual void SetEnableCredSspSupport(bool value) = 0;
    virtual int32_t NetworkConnectionType() const = 0;
    virtual void SetNetworkConnectionType(int32_t value) = 0;
};

class ISecuredSettings {
public:
    virtual ~ISecuredSettings() = default;
    virtual void SetWorkDir(const std::string& folder) = 0;
    virtual void SetStartProgram(const std::string& commandLine) = 0;
    virtual void SetKeyboardHookMode(int32_t mode) = 0;
    virtual void SetAudioRedirectionMode(int32_t mode) = 0;  // 0 play locally, 1 on the server, 2 not at all
};

class IRemoteDesktopControl {
public:
    virtual ~IRemoteDesktopControl() = default;

    // The receiver of the events; set once before Connect.
    virtual void SetEvents(IRemoteDesktopEvents* events) = 0;

    // "CSML,CSMT,CSMP": the names, comma-separated, before any option is set.
    virtual void CreateVirtualChannels(const std::string& names) = 0;
    virtual void SetVirtualChannelOptions(const std::string& name, uint32_t options) = 0;

    virtual void SetServer(const std::string& host) = 0;
    virtual std::string Server() const = 0;
    virtual void SetUserName(const std::string& user) = 0;
    virtual void SetDomain(const std::string& domain) = 0;
    virtual void SetColorDepth(int32_t bits) = 0;
    virtual void SetDesktopWidth(int32_t pixels) = 0;
    virtual void SetDesktopHeight(int32_t pixels) = 0;

    // The advanced settings when they answer as the given level, else nullptr.
    virtual IAdvancedSettings* AdvancedSettings(TAdvancedSettingsLevel level) = 0;
    // The secured settings, or nullptr when the control has none.
    virtual ISecuredSettings* SecuredSettings() = 0;

    // Asynchronous: the outcome arrives as events.
    virtual void Connect() = 0;
    virtual void Disconnect() = 0;

    // Queues one framed payload on a created channel; dropped when the channel is not open.
    virtual void SendOnVirtualChannel(const std::string& chanName, const TBytes& data) = 0;

    // The server's error-info code of the last disconnect; valid inside and after OnDisconnected.
    virtual int32_t ExtendedDisconnectReason() const = 0;
};

}  // namespace kiv
