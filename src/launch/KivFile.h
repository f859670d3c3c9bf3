#pragma once
// The one connection's settings record. Texts are bytes in the system code page
// with the capacities of the connection file format; numbers are 32-bit.
#include <cstdint>
#include <string>

#include "infra/FixedText.h"

namespace kiv {

struct TProxySet {
    int32_t ProxyType = 0;  // 0 none, 1 system proxy, 2 HTTP, 3 SOCKS 4/4A, 4 SOCKS 5
    FixedText<255> ProxyServer;
    int32_t ProxyPort = 0;
    FixedText<50> ProxyUser;
    FixedText<50> ProxyPwd;
};

struct TFarm {
    FixedText<50> FarmName;
    TProxySet ProxySet;
    FixedText<20> FarmProtocol;
    FixedText<255> FarmHost;
    int32_t FarmPort = 0;
    FixedText<255> UserName;  // hex text
    FixedText<255> PassWord;  // hex text
    int32_t AuthType = -1;
    FixedText<50> AuthFlag;
    FixedText<255> DefaultAppID;
    int32_t FarmSessionType = -1;
    FixedText<30> SessionTTL;
    FixedText<11> SessionID = "SID00000000";
    FixedText<255> CRC;
    FixedText<255> ClientLogoURL;
    int32_t Product = 0;
    std::string Watermark;  // unlimited length
};

struct TKIVFile : TFarm {
    int32_t ServerSessionNo = 0;
    int32_t Shortcut = 0;
    int32_t HideTitle = 0;
    bool DeleteAfterRead = false;
    int32_t EnableSSL = 0;
    int32_t EncryptLevel = 0;
    int32_t RedirectAudio = 0;
    int32_t RedirectDrive = 0;
    int32_t RedirectDesktop = 0;
    FixedText<200> DesktopPath;
    int32_t RedirectMyDoc = 1;
    FixedText<200> MyDocPath;
    int32_t RedirectPrinter = 0;
    int32_t RedirectPort = 0;
    int32_t RedirectUsb = 0;
    int32_t RedirectClip = 0;
    int32_t RedirectDDE = 0;
    int32_t RedirectIME = 0;
    int32_t RedirectTray = 0;
    int32_t UseServerIME = 0;
    int32_t CodeConversion = 0;
    int32_t WaitPrinterCreate = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t Color = 0;
    int32_t ScreenFull = 0;  // 0/4 window, 1 full screen, 2 proportional window, 3 seamless
    FixedText<50> AppProtocol;
    FixedText<50> NetworkProtocol;
    int32_t Proportion = 0;
    bool ShareSession = false;
    int32_t SessionType = 1;
    int32_t ServerIPType = 0;
    FixedText<255> ServerAddress;
    FixedText<50> ServerHost;
    int32_t ServerPort = 5872;
    FixedText<50> ServerName;
    FixedText<50> LoginDomain;
    FixedText<250> LoginUser;
    FixedText<250> LoginPassWord;
    FixedText<250> ShellPath;
    int32_t WallPaper = 0;
    int32_t FullWindowDrag = 0;
    int32_t MenuAnimations = 0;
    int32_t Theming = 0;
    int32_t EnhancedGraphics = 0;
    int32_t CursorShadow = 0;
    int32_t CursorBlinking = 0;
    int32_t FontSmoothing = 0;
    int32_t DesktopComposition = 0;
    FixedText<255> AppID;
    FixedText<255> AppName;
    int32_t AppTypeMode = -1;  // 1 a whole remote desktop, 5 a document launch
    FixedText<255> Description;
    int32_t Maxed = 0;
    int32_t X64 = 0;
    FixedText<255> AppParam;
    // Not in a portal's files: 0 when the server is a plain RDP server without the
    // server shell ([Server] ServerShell, or KivClient.ini for every server).
    int32_t ServerShell = 1;
};

}  // namespace kiv
