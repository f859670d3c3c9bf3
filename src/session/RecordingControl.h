#pragma once
// A remote-desktop control that connects nowhere and records, in order, every
// setting it was given and every method called on it: what support staff read
// to see what a connection file will do, and what tests compare.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ports/RemoteDesktopControl.h"
#include "proxy/PortMapper.h"

namespace kiv {

struct TRecordedCall {
    std::string name;
    // A text, a number (booleans as the control's -1 / 0), a channel and its
    // options, raw bytes, or nothing (a method without arguments).
    std::variant<std::monostate, std::string, int64_t, std::pair<std::string, int64_t>, TBytes> value;
};

class TRecordingControl : public IRemoteDesktopControl, public IAdvancedSettings, public ISecuredSettings {
public:
    // The levels the advanced settings answer as; all by default.
    explicit TRecordingControl(int highestAdvancedLevel = 7, bool hasSecuredSettings = true);

    const std::vector<TRecordedCall>& Calls() const { return calls_; }
    std::vector<TRecordedCall>& MutableCalls() { return calls_; }
    IRemoteDesktopEvents* Events() const { return events_; }
    // What NetworkConnectionType answers before the connect sequence sets it.
    void SetInitialNetworkConnectionType(int32_t value) { networkConnectionType_ = value; }

    // IRemoteDesktopControl
    void SetEvents(IRemoteDesktopEvents* events) override { events_ = events; }
    void CreateVirtualChannels(const std::string& names) override;
    void SetVirtualChannelOptions(const std::string& name, uint32_t options) override;
    void SetServer(const std::string& host) override;
    std::string Server() const override { return server_; }
    void SetUserName(const std::string& user) override;
    void SetDomain(const std::string& domain) override;
    void SetColorDepth(int32_t bits) override;
    void SetDesktopWidth(int32_t pixels) override;
    void SetDesktopHeight(int32_t pixels) override;
    IAdvancedSettings* AdvancedSettings(TAdvancedSettingsLevel level) override;
    ISecuredSettings* SecuredSettings() override;
    void Connect() override;
    void Disconnect() override;
    void SendOnVirtualChannel(const std::string& chanName, const TBytes& data) override;
    int32_t ExtendedDisconnectReason() const override { return extendedReason_; }
    void SetExtendedDisconnectReason(int32_t value) { extendedReason_ = value; }

    // IAdvancedSettings
    void SetSmartSizing(bool value) override;
    void SetEnableAutoReconnect(bool value) override;
    void SetRDPPort(int32_t port) override;
    void SetClearTextPassword(const std::string& password) override;
    void SetSmoothScroll(int32_t value) override;
    void SetMaximizeShell(int32_t value) override;
    void SetPluginDlls(const std::string& list) override;
    void SetPerformanceFlags(int32_t flags) override;
    void SetDisableRdpdr(int32_t value) override;
    void SetRedirectDrives(bool value) override;
    void SetRedirectPrinters(bool value) override;
    void SetRedirectPorts(bool value) override;
    void SetRedirectSmartCards(bool value) override;
    void SetCompress(int32_t value) override;
    void SetCachePersistenceActive(int32_t value) override;
    void SetEnableWindowsKey(int32_t value) override;
    void SetHotKeyCtrlAltDel(int32_t value) override;
    void SetHotKeyAltEsc(int32_t value) override;
    void SetHotKeyFullScreen(int32_t value) override;
    void SetHotKeyCtrlEsc(int32_t value) override;
    void SetHotKeyAltTab(int32_t value) override;
    void SetHotKeyAltShiftTab(int32_t value) override;
    void SetLoadBalanceInfo(const TBytes& cookie) override;
    void SetAudioCaptureRedirectionMode(bool value) override;
    void SetEnableCredSspSupport(bool value) override;
    int32_t NetworkConnectionType() const override { return networkConnectionType_; }
    void SetNetworkConnectionType(int32_t value) override;

    // ISecuredSettings
    void SetWorkDir(const std::string& folder) override;
    void SetStartProgram(const std::string& commandLine) override;
    void SetKeyboardHookMode(int32_t mode) override;
    void SetAudioRedirectionMode(int32_t mode) override;

private:
    void Record(std::string name, std::string value) { calls_.push_back({std::move(name), std::move(value)}); }
    void Record(std::string name, int64_t value) { calls_.push_back({std::move(name), value}); }
    void RecordFlag(std::string name, bool value) { Record(std::move(name), int64_t{value ? -1 : 0}); }

    int highestAdvancedLevel_;
    bool hasSecuredSettings_;
    IRemoteDesktopEvents* events_ = nullptr;
    std::vector<TRecordedCall> calls_;
    std::string server_;
    int32_t networkConnectionType_ = 0;
    int32_t extendedReason_ = 0;
};

// A port mapper that listens nowhere: it records what it was told into the same
// list as the control and answers the first port a real mapper would try.
class TRecordingPortMapper : public IPortMapper {
public:
    explicit TRecordingPortMapper(std::vector<TRecordedCall>& calls, int32_t localPort = 5890)
        : calls_(calls), localPort_(localPort) {}
    void SetProxy(const TProxySet& proxy) override;
    void SetActive(bool active) override;
    void SetTargetHost(const std::string& host) override;
    void SetTargetPort(int32_t port) override;
    int32_t GetLocalPort() const override { return localPort_; }

private:
    std::vector<TRecordedCall>& calls_;
    int32_t localPort_;
};

}  // namespace kiv
