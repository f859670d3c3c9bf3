#include "desktop/DoctorReport.h"

#include <cstdio>

namespace kiv {

namespace {

std::string Octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%03o", mode & 0777u);
    return text;
}

TDoctorCheck Display(const TDoctorFacts& f) {
    if (!f.displayReachable)
        return {"X display", TCheckState::Missing, f.displayProblem,
                "start the client inside a graphical session (X11, or Wayland with XWayland)"};
    return {"X display", TCheckState::Ok, f.display + (f.xwayland ? " (XWayland)" : " (X11)"), ""};
}

TDoctorCheck WindowManager(const TDoctorFacts& f) {
    if (!f.displayReachable) return {"window manager", TCheckState::Missing, "no display to ask", ""};
    if (f.windowManager.empty())
        return {"window manager", TCheckState::Missing, "none runs on " + f.display,
                "seamless windows and their taskbar buttons need one (openbox, xfwm4, kwin, mutter ...)"};
    return {"window manager", TCheckState::Ok, f.windowManager, ""};
}

TDoctorCheck Tray(const TDoctorFacts& f) {
    std::string detail;
    if (f.xembedTray) detail = "XEmbed tray";
    if (f.statusNotifierWatcher.value_or(false)) detail += std::string(detail.empty() ? "" : ", ") + "StatusNotifierItem";
    const std::string panel = f.panel ? "panel found" : "no panel window found";
    if (detail.empty())
        return {"panel and tray", TCheckState::Warning, panel + ", no notification area",
                "the server application's tray icons need a tray: a panel with a system tray (tint2, xfce4-panel ...)"};
    return {"panel and tray", TCheckState::Ok, panel + ", " + detail, ""};
}

TDoctorCheck InputMethod(const TDoctorFacts& f) {
    if (!f.inputMethodDaemon.empty())
        return {"input method", TCheckState::Ok,
                f.inputMethodDaemon + (f.inputMethodEnvironment.empty() ? "" : " (" + f.inputMethodEnvironment + ")"),
                f.inputMethodEnvironment.empty() ? "set XMODIFIERS and QT_IM_MODULE so Qt programs reach it" : ""};
    return {"input method", TCheckState::Warning,
            f.inputMethodEnvironment.empty() ? "no framework runs" : "none runs (" + f.inputMethodEnvironment + ")",
            "composed text (Chinese, Japanese ...) needs fcitx5 or ibus"};
}

TDoctorCheck CjkFonts(const TDoctorFacts& f) {
    if (!f.cjkFontFamilies) return {"CJK fonts", TCheckState::Warning, "fontconfig could not be asked (fc-list)", ""};
    if (*f.cjkFontFamilies == 0)
        return {"CJK fonts", TCheckState::Warning, "none installed",
                "Chinese captions and messages show as boxes: install fonts-noto-cjk"};
    return {"CJK fonts", TCheckState::Ok, std::to_string(*f.cjkFontFamilies) + " font families for Chinese", ""};
}

TDoctorCheck Registration(const TDoctorFacts& f) {
    std::string missing;
    for (const auto& [present, name] : {std::pair{f.desktopEntry, "desktop entry"}, std::pair{f.mimePackage, "MIME package"},
                                        std::pair{f.icon, "icon"}})
        if (!present) missing += std::string(missing.empty() ? "" : ", ") + name;
    const std::string handlers = "application/x-kiv -> " + (f.kivHandler.empty() ? "nothing" : f.kivHandler) +
                                 ", kiv: links -> " + (f.linkHandler.empty() ? "nothing" : f.linkHandler);
    const std::string repaired = f.registrationRepaired ? " (registered again)" : "";
    if (!missing.empty())
        return {"file types", TCheckState::Missing, "no " + missing + repaired,
                "run the client once, or FixClient, to register .kiv, .vyn and kiv: links"};
    if (f.kivHandler != "kivclient.desktop" || f.linkHandler != "kivclient.desktop")
        return {"file types", TCheckState::Warning, handlers + repaired,
                "another program opens these: xdg-mime default kivclient.desktop application/x-kiv x-scheme-handler/kiv"};
    return {"file types", TCheckState::Ok, handlers + repaired, ""};
}

TDoctorCheck Folder(const TFolderFacts& folder) {
    const std::string name = "folder " + folder.what;
    if (folder.path.empty()) return {name, TCheckState::Missing, "cannot be named (no HOME)", "set HOME"};
    const std::string repaired = folder.repaired ? " (repaired)" : "";
    if (!folder.exists)
        return {name, TCheckState::Warning, folder.path + " does not exist yet" + repaired, "made at the first use"};
    if (!folder.ownedByUser)
        return {name, TCheckState::Missing, folder.path + " belongs to another user" + repaired,
                "chown it to yourself (a run as root may have made it)"};
    if ((folder.mode & 077u) != 0)
        return {name, TCheckState::Warning, folder.path + " is open to others (" + Octal(folder.mode) + ")" + repaired,
                "chmod 700: it holds proxy passwords and session traces"};
    return {name, TCheckState::Ok, folder.path + " (" + Octal(folder.mode) + ")" + repaired, ""};
}

TDoctorCheck Language(const TDoctorFacts& f) {
    if (!f.languageReadable)
        return {"language files", TCheckState::Missing, "cannot read " + (f.languageFile.empty() ? "Resource.ini" : f.languageFile),
                "reinstall the client: every message comes from these files"};
    if (f.languageMissingKeys > 0)
        return {"language files", TCheckState::Warning,
                f.languageFile + " lacks " + std::to_string(f.languageMissingKeys) + " texts", "kivtool lang-check names them"};
    return {"language files", TCheckState::Ok, f.languageFile, ""};
}

TDoctorCheck FreeRdp(const TDoctorFacts& f) {
    if (f.freerdpVersion.empty()) return {"FreeRDP", TCheckState::Missing, "no library version", "install libfreerdp2-2"};
    if (f.freerdpVersion.rfind("2.", 0) != 0)
        return {"FreeRDP", TCheckState::Warning, f.freerdpVersion, "the client is built for FreeRDP 2"};
    return {"FreeRDP", TCheckState::Ok, f.freerdpVersion, ""};
}

TDoctorCheck Proxy(const TDoctorFacts& f) {
    if (f.proxyVariables.empty())
        return {"proxy environment", TCheckState::Ok, "none (farms with ProxyType=1 connect directly)", ""};
    std::string detail;
    for (const auto& v : f.proxyVariables) detail += (detail.empty() ? "" : ", ") + v;
    return {"proxy environment", TCheckState::Ok, detail, ""};
}

TDoctorCheck Certificates(const TDoctorFacts& f) {
    if (f.caCertificates == 0)
        return {"certificate store", TCheckState::Warning, (f.caStore.empty() ? "no CA bundle" : f.caStore + " holds no certificate"),
                "HTTPS portals cannot be verified: install ca-certificates"};
    return {"certificate store", TCheckState::Ok, f.caStore + " (" + std::to_string(f.caCertificates) + " certificates)", ""};
}

const char* StateText(TCheckState state) {
    switch (state) {
        case TCheckState::Ok: return "[ok]      ";
        case TCheckState::Warning: return "[warning] ";
        case TCheckState::Missing: return "[missing] ";
    }
    return "";
}

}  // namespace

std::vector<TDoctorCheck> EvaluateDoctorFacts(const TDoctorFacts& f) {
    std::vector<TDoctorCheck> checks{Display(f), WindowManager(f), Tray(f), InputMethod(f), CjkFonts(f), Registration(f)};
    for (const TFolderFacts& folder : f.folders) checks.push_back(Folder(folder));
    for (auto check : {Language(f), FreeRdp(f), Proxy(f), Certificates(f)}) checks.push_back(std::move(check));
    return checks;
}

std::string FormatDoctorReport(const TDoctorFacts& facts, const std::vector<TDoctorCheck>& checks) {
    std::string text = "kivclient " + facts.clientVersion + " in " + facts.programFolder + "\n";
    for (const TDoctorCheck& check : checks) {
        text += StateText(check.state) + check.name + ": " + check.detail + "\n";
        if (!check.hint.empty()) text += "          " + check.hint + "\n";
    }
    return text;
}

bool AnyMissing(const std::vector<TDoctorCheck>& checks) {
    for (const TDoctorCheck& check : checks)
        if (check.state == TCheckState::Missing) return true;
    return false;
}

}  // namespace kiv
