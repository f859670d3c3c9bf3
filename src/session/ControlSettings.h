#pragma once
// Everything the connect sequence hands to the remote-desktop control, as the
// control keeps it until Connect. The defaults are what the control reports
// before anyone sets a value.
#include <cstdint>
#include <string>
#include <vector>

#include "ports/RemoteDesktopControl.h"

namespace kiv {

struct TChannelDefinition {
    std::string name;
    uint32_t options = 0;
};

struct TControlSettings {
    // The control itself
    std::vector<TChannelDefinition> channels;
    std::string server;
    std::string userName;
    std::string domain;
    int32_t colorDepth = 32;
    int32_t desktopWidth = 1024;
    int32_t desktopHeight = 768;

    // Advanced settings
    bool smartSizing = false;
    bool enableAutoReconnect = true;
    int32_t rdpPort = 3389;
    std::string clearTextPassword;
    int32_t smoothScroll = 0;
    int32_t maximizeShell = 1;
    std::string pluginDlls;
    int32_t performanceFlags = 0;
    int32_t disableRdpdr = 0;
    bool redirectDrives = false;
    bool redirectPrinters = false;
    bool redirectPorts = false;
    bool redirectSmartCards = false;
    int32_t compress = 1;
    int32_t cachePersistenceActive = 0;
    int32_t enableWindowsKey = 1;
    int32_t hotKeyCtrlAltDel = 0;
    int32_t hotKeyAltEsc = 0;
    int32_t hotKeyFullScreen = 0;
    int32_t hotKeyCtrlEsc = 0;
    int32_t hotKeyAltTab = 0;
    int32_t hotKeyAltShiftTab = 0;
    TBytes loadBalanceInfo;
    bool audioCaptureRedirectionMode = false;
    bool enableCredSspSupport = false;
    int32_t networkConnectionType = 6;  // LAN, what the library sends when nobody says otherwise

    // Secured settings
    std::string workDir;
    std::string startProgram;
    int32_t keyboardHookMode = 2;       // 0 local, 1 on the server, 2 on the server in full screen only
    int32_t audioRedirectionMode = 0;   // 0 play locally, 1 leave on the server, 2 no sound
};

}  // namespace kiv
