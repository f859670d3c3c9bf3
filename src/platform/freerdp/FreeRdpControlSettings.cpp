// The control's settings that check their value. A value the classic control
// would refuse is refused here the same way, with an exception that names the
// property (the connect sequence reports it and offers the repair).
#include <stdexcept>

#include "infra/DebugLog.h"
#include "platform/freerdp/FreeRdpControl.h"
#include "session/RdpSettingsMapping.h"

namespace kiv {

namespace {

void Require(bool valid, const char* property, int32_t value) {
    if (!valid) throw std::invalid_argument(std::string(property) + ": invalid value " + std::to_string(value));
}

std::string Trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

void TFreeRdpControl::CreateVirtualChannels(const std::string& names) {
    std::size_t start = 0;
    while (start <= names.size()) {
        auto comma = names.find(',', start);
        if (comma == std::string::npos) comma = names.size();
        const std::string name = Trim(names.substr(start, comma - start));
        start = comma + 1;
        if (!IsValidChannelName(name)) {
            if (!name.empty() && DebugSwitches[dmMain])
                WriteLog("[TFreeRdpControl.CreateVirtualChannels]invalid channel name " + name);
            continue;
        }
        bool known = false;
        for (const auto& channel : settings_.channels) known = known || channel.name == name;
        if (!known) settings_.channels.push_back({name, 0});
    }
}

void TFreeRdpControl::SetVirtualChannelOptions(const std::string& name, uint32_t options) {
    for (auto& channel : settings_.channels) {
        if (channel.name == name) {
            channel.options = options;
            return;
        }
    }
    if (DebugSwitches[dmMain]) WriteLog("[TFreeRdpControl.SetVirtualChannelOptions]no channel " + name);
}

void TFreeRdpControl::SetColorDepth(int32_t bits) {
    Require(bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32, "ColorDepth", bits);
    settings_.colorDepth = bits;
}

void TFreeRdpControl::SetDesktopWidth(int32_t pixels) {
    Require(pixels >= 200 && pixels <= 8192, "DesktopWidth", pixels);
    settings_.desktopWidth = pixels;
}

void TFreeRdpControl::SetDesktopHeight(int32_t pixels) {
    Require(pixels >= 200 && pixels <= 8192, "DesktopHeight", pixels);
    settings_.desktopHeight = pixels;
}

void TFreeRdpControl::SetRDPPort(int32_t port) {
    Require(port > 0 && port <= 65535, "RDPPort", port);
    settings_.rdpPort = port;
}

void TFreeRdpControl::SetNetworkConnectionType(int32_t value) {
    Require(value >= 1 && value <= 7, "NetworkConnectionType", value);
    settings_.networkConnectionType = value;
}

void TFreeRdpControl::SetKeyboardHookMode(int32_t mode) {
    Require(mode >= 0 && mode <= 2, "KeyboardHookMode", mode);
    settings_.keyboardHookMode = mode;
}

void TFreeRdpControl::SetAudioRedirectionMode(int32_t mode) {
    Require(mode >= 0 && mode <= 2, "AudioRedirectionMode", mode);
    settings_.audioRedirectionMode = mode;
}

IAdvancedSettings* TFreeRdpControl::AdvancedSettings(TAdvancedSettingsLevel) {
    // Every level of the classic control's advanced settings is there.
    return this;
}

}  // namespace kiv
