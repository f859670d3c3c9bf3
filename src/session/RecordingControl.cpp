#include "session/RecordingControl.h"

namespace kiv {

TRecordingControl::TRecordingControl(int highestAdvancedLevel, bool hasSecuredSettings)
    : highestAdvancedLevel_(highestAdvancedLevel), hasSecuredSettings_(hasSecuredSettings) {}

void TRecordingControl::CreateVirtualChannels(const std::string& names) { Record("CreateVirtualChannels", names); }

void TRecordingControl::SetVirtualChannelOptions(const std::string& name, uint32_t options) {
    calls_.push_back({"SetVirtualChannelOptions", std::pair<std::string, int64_t>(name, options)});
}

void TRecordingControl::SetServer(const std::string& host) {
    server_ = host;
    Record("Server", host);
}
void TRecordingControl::SetUserName(const std::string& user) { Record("UserName", user); }
void TRecordingControl::SetDomain(const std::string& domain) { Record("Domain", domain); }
void TRecordingControl::SetColorDepth(int32_t bits) { Record("ColorDepth", int64_t{bits}); }
void TRecordingControl::SetDesktopWidth(int32_t pixels) { Record("DesktopWidth", int64_t{pixels}); }
void TRecordingControl::SetDesktopHeight(int32_t pixels) { Record("DesktopHeight", int64_t{pixels}); }

IAdvancedSettings* TRecordingControl::AdvancedSettings(TAdvancedSettingsLevel level) {
    return static_cast<int>(level) <= highestAdvancedLevel_ ? this : nullptr;
}

ISecuredSettings* TRecordingControl::SecuredSettings() { return hasSecuredSettings_ ? this : nullptr; }

void TRecordingControl::Connect() { calls_.push_back({"Connect", std::monostate{}}); }
void TRecordingControl::Disconnect() { calls_.push_back({"Disconnect", std::monostate{}}); }

void TRecordingControl::SendOnVirtualChannel(const std::string& chanName, const TBytes& data) {
    calls_.push_back({"SendOnVirtualChannel:" + chanName, data});
}

void TRecordingControl::SetSmartSizing(bool value) { RecordFlag("SmartSizing", value); }
void TRecordingControl::SetEnableAutoReconnect(bool value) { RecordFlag("EnableAutoReconnect", value); }
void TRecordingControl::SetRDPPort(int32_t port) { Record("RDPPort", int64_t{port}); }
void TRecordingControl::SetClearTextPassword(const std::string& password) { Record("ClearTextPassword", password); }
void TRecordingControl::SetSmoothScroll(int32_t value) { Record("SmoothScroll", int64_t{value}); }
void TRecordingControl::SetMaximizeShell(int32_t value) { Record("MaximizeShell", int64_t{value}); }
void TRecordingControl::SetPluginDlls(const std::string& list) { Record("PluginDlls", list); }
void TRecordingControl::SetPerformanceFlags(int32_t flags) { Record("PerformanceFlags", int64_t{flags}); }
void TRecordingControl::SetDisableRdpdr(int32_t value) { Record("DisableRdpdr", int64_t{value}); }
void TRecordingControl::SetRedirectDrives(bool value) { RecordFlag("RedirectDrives", value); }
void TRecordingControl::SetRedirectPrinters(bool value) { RecordFlag("RedirectPrinters", value); }
void TRecordingControl::SetRedirectPorts(bool value) { RecordFlag("RedirectPorts", value); }
void TRecordingControl::SetRedirectSmartCards(bool value) { RecordFlag("RedirectSmartCards", value); }
void TRecordingControl::SetCompress(int32_t value) { Record("Compress", int64_t{value}); }
void TRecordingControl::SetCachePersistenceActive(int32_t value) { Record("CachePersistenceActive", int64_t{value}); }
void TRecordingControl::SetEnableWindowsKey(int32_t value) { Record("EnableWindowsKey", int64_t{value}); }
void TRecordingControl::SetHotKeyCtrlAltDel(int32_t value) { Record("HotKeyCtrlAltDel", int64_t{value}); }
void TRecordingControl::SetHotKeyAltEsc(int32_t value) { Record("HotKeyAltEsc", int64_t{value}); }
void TRecordingControl::SetHotKeyFullScreen(int32_t value) { Record("HotKeyFullScreen", int64_t{value}); }
void TRecordingControl::SetHotKeyCtrlEsc(int32_t value) { Record("HotKeyCtrlEsc", int64_t{value}); }
void TRecordingControl::SetHotKeyAltTab(int32_t value) { Record("HotKeyAltTab", int64_t{value}); }
void TRecordingControl::SetHotKeyAltShiftTab(int32_t value) { Record("HotKeyAltShiftTab", int64_t{value}); }
void TRecordingControl::SetLoadBalanceInfo(const TBytes& cookie) { calls_.push_back({"LoadBalanceInfo", cookie}); }
void TRecordingControl::SetAudioCaptureRedirectionMode(bool value) {
    RecordFlag("AudioCaptureRedirectionMode", value);
}
void TRecordingControl::SetEnableCredSspSupport(bool value) { RecordFlag("EnableCredSspSupport", value); }
void TRecordingControl::SetNetworkConnectionType(int32_t value) {
    networkConnectionType_ = value;
    Record("NetworkConnectionType", int64_t{value});
}

void TRecordingControl::SetWorkDir(const std::string& folder) { Record("WorkDir", folder); }
void TRecordingControl::SetStartProgram(const std::string& commandLine) { Record("StartProgram", commandLine); }
void TRecordingControl::SetKeyboardHookMode(int32_t mode) { Record("KeyboardHookMode", int64_t{mode}); }
void TRecordingControl::SetAudioRedirectionMode(int32_t mode) { Record("AudioRedirectionMode", int64_t{mode}); }

void TRecordingPortMapper::SetProxy(const TProxySet& proxy) {
    calls_.push_back({"PortMapper.SetProxy", proxy.ProxyServer.str() + ":" + std::to_string(proxy.ProxyPort) +
                                                  " type " + std::to_string(proxy.ProxyType)});
}
void TRecordingPortMapper::SetActive(bool active) {
    calls_.push_back({"PortMapper.SetActive", int64_t{active ? -1 : 0}});
}
void TRecordingPortMapper::SetTargetHost(const std::string& host) {
    calls_.push_back({"PortMapper.SetTargetHost", host});
}
void TRecordingPortMapper::SetTargetPort(int32_t port) { calls_.push_back({"PortMapper.SetTargetPort", int64_t{port}}); }

}  // namespace kiv
