#include "launch/ConnectionFileReader.h"

#include <exception>

#include "infra/CodePage.h"
#include "launch/CredentialCodec.h"
#include "launch/ServerPath.h"
#include "launch/ShellFolders.h"

namespace kiv {

namespace {

// A local folder as the server reaches it through the redirected drives. File
// names are UTF-8; the record holds texts in the system code page.
std::string SharedFolder(std::string_view shellFolder) {
    return Utf8ToSystem(ToServerPath(GetShellFolder(shellFolder), HomeFolder()));
}

void ReadWatermark(const TIniImage& ini, TKIVFile& r) {
    r.Watermark = ini.ReadString("watermark", "enable", "0") != "0"
                      ? ini.ReadString("watermark", "watermarkstring", "")
                      : std::string();
}

void ReadFarm(const TIniImage& ini, TKIVFile& r) {
    constexpr std::string_view s = "Farm";
    r.FarmName = ini.ReadString(s, "FarmName", "");
    std::string protocol = ini.ReadString(s, "Farmprotocol", "");
    if (const auto at = protocol.find("/1.1"); at != std::string::npos) protocol.resize(at);
    r.FarmProtocol = protocol;
    std::string host = ini.ReadString(s, "FarmHost", "");
    if (const auto colon = host.find(':'); colon != std::string::npos) host.resize(colon);
    r.FarmHost = host;
    r.FarmPort = ini.ReadInteger(s, "FarmPort", 0);
    r.UserName = ini.ReadString(s, "UserName", "");
    r.PassWord = ini.ReadString(s, "PassWord", "");
    r.AuthType = ini.ReadInteger(s, "Auth_Type", -1);
    r.AuthFlag = ini.ReadString(s, "Auth_Flag", "");
    r.DefaultAppID = ini.ReadString(s, "DefaultAppID", "");
    r.FarmSessionType = ini.ReadInteger(s, "SessionType", -1);
    r.SessionTTL = ini.ReadString(s, "SessionTTL", "");
    r.SessionID = ini.ReadString(s, "SessionID", "SID00000000");
    r.CRC = ini.ReadString(s, "CRC", "");
    r.ClientLogoURL = ini.ReadString(s, "ClientLogoURL", "");
    r.Product = ini.ReadInteger(s, "Product", 0);
}

void ReadSession(const TIniImage& ini, TKIVFile& r) {
    constexpr std::string_view s = "Session";
    r.Shortcut = ini.ReadInteger(s, "Shortcut", 0);
    r.HideTitle = ini.ReadInteger(s, "Hide_title", 0);
    r.DeleteAfterRead = ini.ReadBool(s, "Delete_After_Read", false);
    r.EnableSSL = ini.ReadInteger(s, "Enable_SSL", 0);
    r.EncryptLevel = ini.ReadInteger(s, "Encrypt_level", 0);
    r.RedirectAudio = ini.ReadInteger(s, "Redirect_audio", 0);
    r.RedirectDrive = ini.ReadInteger(s, "Redirect_drive", 0);
    r.RedirectDesktop = ini.ReadInteger(s, "Redirect_desktop", 0);
    if (r.RedirectDrive == 1 && r.RedirectDesktop == 1) r.DesktopPath = SharedFolder("Desktop");
    r.RedirectMyDoc = ini.ReadInteger(s, "Redirect_mydoc", 1);
    if (r.RedirectDrive == 1 && r.RedirectMyDoc == 1) r.MyDocPath = SharedFolder("Personal");
    r.RedirectPrinter = ini.ReadInteger(s, "Redirect_printer", 0);
    r.RedirectPort = ini.ReadInteger(s, "Redirect_port", 0);
    r.RedirectUsb = ini.ReadInteger(s, "Redirect_usb", 0);
    r.RedirectClip = ini.ReadInteger(s, "Redirect_clip", 0);
    r.RedirectTray = ini.ReadInteger(s, "Redirect_tray", 0);
    r.WaitPrinterCreate = ini.ReadInteger(s, "Wait_printer_create", 0);
    r.Height = ini.ReadInteger(s, "Height", 0);
    r.Width = ini.ReadInteger(s, "Width", 0);
    r.Color = ini.ReadInteger(s, "Color", 0);
    r.ScreenFull = ini.ReadInteger(s, "Screen_FULL", 0);
    r.AppProtocol = ini.ReadString(s, "App_protocol", "");
    r.NetworkProtocol = ini.ReadString(s, "Network_Protocol", "");
    r.Proportion = ini.ReadInteger(s, "Proportion", 0);
    r.ShareSession = ini.ReadBool(s, "ShareSession", false);
    r.SessionType = ini.ReadInteger(s, "SessionType", 1);
    r.WallPaper = ini.ReadInteger(s, "WallPaper", 0);
    r.FullWindowDrag = ini.ReadInteger(s, "FullWindowDrag", 0);
    r.MenuAnimations = ini.ReadInteger(s, "MenuAnimations", 0);
    r.Theming = ini.ReadInteger(s, "Theming", 0);
    r.EnhancedGraphics = ini.ReadInteger(s, "Enhanced_Graphics", 0);
    r.CursorShadow = ini.ReadInteger(s, "Cursor_Shadow", 0);
    r.CursorBlinking = ini.ReadInteger(s, "Cursor_Blinking", 0);
    r.FontSmoothing = ini.ReadInteger(s, "Font_Smoothing", 0);
    r.DesktopComposition = ini.ReadInteger(s, "Desktop_Composition", 0);
}

void ReadApplication(const TIniImage& ini, TKIVFile& r) {
    constexpr std::string_view s = "Application";
    r.AppID = ini.ReadString(s, "App_id", "");
    r.AppName = ini.ReadString(s, "App_name", "");
    r.AppTypeMode = ini.ReadInteger(s, "App_type_mode", -1);
    r.Description = ini.ReadString(s, "Description", "");
    r.Maxed = ini.ReadInteger(s, "Maxed", 0);
    r.X64 = ini.ReadInteger(s, "x64", 0);
}

void ReadServer(const TIniImage& ini, TKIVFile& r) {
    constexpr std::string_view s = "Server";
    r.ServerAddress = ini.ReadString(s, "Server_Address", "");
    r.ServerIPType = ini.ReadInteger(s, "ServerIPType", 0);
    r.ServerHost = SplitHostPort(r.ServerAddress, 0);
    r.ServerPort = DecimalToIntDef(SplitHostPort(r.ServerAddress, 1), 5872);
    r.LoginDomain = ini.ReadString(s, "Login_domain", "");
    r.LoginUser = ini.ReadString(s, "Login_User", "");
    r.LoginPassWord = ini.ReadString(s, "Login_PassWord", "");
    const std::string shellPath = ini.ReadString(s, "KivShellPath", "");
    if (!shellPath.empty())
        r.ShellPath = DecipherText(Base64Decode(shellPath), kCipherStartKey, TCipherDirection::Decipher);
    r.ServerName = ini.ReadString(s, "Server_Name", "");
    r.ServerShell = ini.ReadInteger(s, "ServerShell", 1);
}

bool HasConnectionSection(const TIniImage& ini) {
    for (std::string_view section : {"watermark", "Farm", "Session", "Application", "Server"})
        if (ini.SectionExists(section)) return true;
    return false;
}

}  // namespace

std::string SplitHostPort(std::string_view text, int part) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return {};
    return std::string(part == 0 ? text.substr(0, colon) : text.substr(colon + 1));
}

int32_t ReadConnectionFile(const TIniImage* image, TKIVFile& record) {
    if (image == nullptr) return -1;
    // A text without any of the sections is no connection file (a web page, a
    // document saved under the wrong name): reading it would only dial nowhere.
    if (!HasConnectionSection(*image)) return -1;
    try {
        ReadWatermark(*image, record);
        ReadFarm(*image, record);
        ReadSession(*image, record);
        ReadApplication(*image, record);
        ReadServer(*image, record);
        // A whole remote desktop is never seamless and never shared.
        if (record.AppTypeMode == 1) {
            if (record.ScreenFull == 3) record.ScreenFull = 1;
            record.ShareSession = false;
        }
        return 0;
    } catch (const std::exception&) {
        return -1;
    }
}

int32_t ApplyLocalProperties(TKIVFile& record, const std::filesystem::path& localIni) {
    int32_t logonTimeout = kDefaultLogonTimeout;
    try {
        // A missing file reads as an empty one: every default below.
        const TIniImage ini = TIniImage::FromFile(localIni).value_or(TIniImage::FromText(""));
        constexpr std::string_view s = "Local Property";
        // The local file can only narrow what the connection file switched on.
        auto narrow = [&](int32_t& field, std::string_view key, int32_t defaultValue) {
            if (field == 1) field = ini.ReadInteger(s, key, defaultValue);
        };
        narrow(record.RedirectUsb, "MapUSB", 1);
        narrow(record.RedirectPort, "MapCOM", 1);
        narrow(record.RedirectDrive, "MapDisk", 1);
        narrow(record.RedirectAudio, "MapSound", 0);
        narrow(record.RedirectPrinter, "MapPrinter", 0);
        narrow(record.RedirectTray, "MapTray", 1);
        narrow(record.RedirectDDE, "MapDDE", 1);
        narrow(record.RedirectIME, "MapIME", 1);
        narrow(record.RedirectClip, "MapClipboard", 1);
        record.UseServerIME = ini.ReadInteger(s, "UseServerIME", 0);
        record.CodeConversion = ini.ReadInteger(s, "CodeConversion", 0);
        const int32_t maxColor = ini.ReadInteger(s, "Color", 4);
        if (record.Color > maxColor) record.Color = maxColor;
        logonTimeout = ini.ReadInteger("KivClient", "TimeOut", kDefaultLogonTimeout);
        if (ini.ReadInteger(s, "ServerShell", 1) == 0) record.ServerShell = 0;
        // Without the server shell nothing publishes seamless windows or takes a
        // handed-over launch: the remote desktop is shown in a window of its own.
        if (record.ServerShell == 0) {
            if (record.ScreenFull == 3) record.ScreenFull = 0;
            record.ShareSession = false;
        }
    } catch (const std::exception&) {
        // The record keeps the connection file's values.
    }
    return logonTimeout;
}

}  // namespace kiv
