#include "tools/kivtool/KivFileJson.h"

#include "infra/CodePage.h"

namespace kiv::tool {

namespace {

std::string Text(std::string_view bytes) { return SystemToUtf8(bytes); }

}  // namespace

Json ProxySetToJson(const TProxySet& p) {
    Json j;
    j["ProxyType"] = p.ProxyType;
    j["ProxyServer"] = Text(p.ProxyServer);
    j["ProxyPort"] = p.ProxyPort;
    j["ProxyUser"] = Text(p.ProxyUser);
    j["ProxyPwd"] = Text(p.ProxyPwd);
    return j;
}

Json KivFileToJson(const TKIVFile& r) {
    Json j;
#define KIV_TEXT(field) j[#field] = Text(r.field)
#define KIV_VALUE(field) j[#field] = r.field
    KIV_TEXT(FarmName);
    j["ProxySet"] = ProxySetToJson(r.ProxySet);
    KIV_TEXT(FarmProtocol);
    KIV_TEXT(FarmHost);
    KIV_VALUE(FarmPort);
    KIV_TEXT(UserName);
    KIV_TEXT(PassWord);
    KIV_VALUE(AuthType);
    KIV_TEXT(AuthFlag);
    KIV_TEXT(DefaultAppID);
    KIV_VALUE(FarmSessionType);
    KIV_TEXT(SessionTTL);
    KIV_TEXT(SessionID);
    KIV_TEXT(CRC);
    KIV_TEXT(ClientLogoURL);
    KIV_VALUE(Product);
    KIV_TEXT(Watermark);
    KIV_VALUE(ServerSessionNo);
    KIV_VALUE(Shortcut);
    KIV_VALUE(HideTitle);
    KIV_VALUE(DeleteAfterRead);
    KIV_VALUE(EnableSSL);
    KIV_VALUE(EncryptLevel);
    KIV_VALUE(RedirectAudio);
    KIV_VALUE(RedirectDrive);
    KIV_VALUE(RedirectDesktop);
    KIV_TEXT(DesktopPath);
    KIV_VALUE(RedirectMyDoc);
    KIV_TEXT(MyDocPath);
    KIV_VALUE(RedirectPrinter);
    KIV_VALUE(RedirectPort);
    KIV_VALUE(RedirectUsb);
    KIV_VALUE(RedirectClip);
    KIV_VALUE(RedirectDDE);
    KIV_VALUE(RedirectIME);
    KIV_VALUE(RedirectTray);
    KIV_VALUE(UseServerIME);
    KIV_VALUE(CodeConversion);
    KIV_VALUE(WaitPrinterCreate);
    KIV_VALUE(Height);
    KIV_VALUE(Width);
    KIV_VALUE(Color);
    KIV_VALUE(ScreenFull);
    KIV_TEXT(AppProtocol);
    KIV_TEXT(NetworkProtocol);
    KIV_VALUE(Proportion);
    KIV_VALUE(ShareSession);
    KIV_VALUE(SessionType);
    KIV_VALUE(ServerIPType);
    KIV_TEXT(ServerAddress);
    KIV_TEXT(ServerHost);
    KIV_VALUE(ServerPort);
    KIV_TEXT(ServerName);
    KIV_TEXT(LoginDomain);
    KIV_TEXT(LoginUser);
    KIV_TEXT(LoginPassWord);
    KIV_TEXT(ShellPath);
    KIV_VALUE(WallPaper);
    KIV_VALUE(FullWindowDrag);
    KIV_VALUE(MenuAnimations);
    KIV_VALUE(Theming);
    KIV_VALUE(EnhancedGraphics);
    KIV_VALUE(CursorShadow);
    KIV_VALUE(CursorBlinking);
    KIV_VALUE(FontSmoothing);
    KIV_VALUE(DesktopComposition);
    KIV_TEXT(AppID);
    KIV_TEXT(AppName);
    KIV_VALUE(AppTypeMode);
    KIV_TEXT(Description);
    KIV_VALUE(Maxed);
    KIV_VALUE(X64);
    KIV_TEXT(AppParam);
    KIV_VALUE(ServerShell);
#undef KIV_TEXT
#undef KIV_VALUE
    return j;
}

}  // namespace kiv::tool
