#include "session/ConnectParameters.h"

#include <filesystem>

#include "infra/TextFormat.h"
#include "infra/TextRules.h"
#include "launch/CredentialCodec.h"
#include "ports/UsbLibrary.h"

namespace kiv {

namespace {

// The server shell's name for a published application it starts itself.
constexpr std::string_view kShellAppName = "APP00000000";
constexpr std::string_view kPrinterPluginName = "mibprinterclient.dll";

std::string_view Text(const std::string& s) { return s; }

}  // namespace

int32_t GetPerformanceFlags(const TKIVFile& r) {
    int32_t flags = 0;
    if (r.WallPaper == 0) flags |= 0x001;
    if (r.FullWindowDrag == 0) flags |= 0x002;
    if (r.MenuAnimations == 0) flags |= 0x004;
    if (r.Theming == 0) flags |= 0x008;
    if (r.EnhancedGraphics == 1) flags |= 0x010;
    if (r.CursorShadow == 0) flags |= 0x020;
    if (r.CursorBlinking == 0) flags |= 0x040;
    if (r.FontSmoothing == 1) flags |= 0x080;
    if (r.DesktopComposition == 1) flags |= 0x100;
    return flags;
}

int32_t ColorDepthOf(int32_t color) {
    switch (color) {
        case 2: return 16;
        case 3: return 24;
        case 4: return 32;
        default: return 15;
    }
}

TLogon BuildLogon(const TKIVFile& r, bool kivFileIsEn) {
    TLogon logon;
    if (!kivFileIsEn) {
        logon.user = r.LoginUser.str();
        logon.domain = r.LoginDomain.str();
        logon.password = r.LoginPassWord.str();
        return logon;
    }
    logon.user = Trimmed(DecodeCredential(r.LoginUser));
    logon.password = Trimmed(DecodeCredential(r.LoginPassWord));
    logon.domain = Trimmed(DecodeCredential(r.LoginDomain));
    if (!logon.domain.empty()) {
        if (const auto at = UpperAscii(logon.domain).find(".COM"); at != std::string::npos) logon.domain.resize(at);
        logon.user = logon.domain + "\\" + logon.user;
    }
    logon.setPassword = !logon.password.empty();
    return logon;
}

std::string BuildStartProgram(const TKIVFile& r, std::string_view fp, std::string_view fp2, std::string_view charset) {
    const std::string program = "\"" + r.ShellPath.str() + "\"";
    const std::string user = HexToText(r.UserName);
    return Format("%s /N:%s /U:%s /P:%s /S:%d /M:%s /H:%s /I:%d /E:%s /C:%s /A:%d /RT:%d /ST:%d",
                  {Text(program), kShellAppName, Text(user), std::string_view(), int64_t{r.FarmSessionType}, fp, fp2,
                   int64_t{r.UseServerIME}, std::string_view(r.SessionID), charset, int64_t{r.AuthType},
                   int64_t{r.RedirectTray}, int64_t{r.SessionType}});
}

std::string ShellWorkDir(std::string_view shellPath) {
    const auto at = shellPath.find_last_of("\\:");
    return at == std::string_view::npos ? std::string() : std::string(shellPath.substr(0, at + 1));
}

std::string BuildClientInfo(const TKIVFile& r, std::string_view fp, std::string_view fp2, std::string_view charset) {
    const std::string user = DecodeCredential(r.LoginUser);
    return Format("/U:%s /M:%s /H:%s /E:%s /C:%s", {Text(user), fp, fp2, std::string_view(r.SessionID), charset});
}

std::string BuildUsbInitParam(const TKIVFile& r, std::string_view fp, std::string_view fp2) {
    const std::string user = DecodeCredential(r.LoginUser);
    return Format("user=%s&finger=%s&finger2=%s&sid=%s&appid=%s",
                  {Text(user), fp, fp2, std::string_view(r.SessionID), std::string_view(r.AppID)});
}

TBytes BuildLoadBalanceInfo(std::string_view sessionId) {
    std::string cookie = ("AGS:" + std::string(sessionId)).substr(0, 15);
    if (cookie.size() % 2 == 1) cookie.push_back('\0');
    cookie += "\r\n";
    return TBytes(cookie.begin(), cookie.end());
}

std::string GetRdpdrAddIns(const IMachineSettings& machine) {
    std::string list;
    for (const auto& [name, library] : machine.Entries("AddIns")) {
        if (EqualsNoCase(name, "RDPDR")) continue;
        std::error_code ec;
        if (library.empty() || !std::filesystem::is_regular_file(library, ec)) continue;
        if (!list.empty()) list += ",";
        list += library;
    }
    return list;
}

std::string BuildPluginDlls(std::string_view addIns) {
    std::string list = LowerAscii(addIns);
    for (std::string_view plugin : {std::string_view(kUsbPluginName), kPrinterPluginName}) {
        if (list.find(plugin) != std::string::npos) continue;
        if (!list.empty()) list += ",";
        list += plugin;
    }
    return list;
}

}  // namespace kiv
