#pragma once
// The doctor's judgement: from the facts gathered on this machine, one line per
// thing the client needs, each "ok", "warning" (works, with less) or "missing"
// (a part of the client will not work), with a hint where one helps. Shared by
// "kivtool doctor" (looks only) and FixClient (repairs first, then looks).
#include <optional>
#include <string>
#include <vector>

namespace kiv {

struct TFolderFacts {
    std::string what;  // "settings", "log", "sockets"
    std::string path;  // empty: no such folder can be named here
    bool exists = false;
    bool ownedByUser = false;
    unsigned mode = 0;  // permission bits
    bool repaired = false;
};

struct TDoctorFacts {
    std::string clientVersion;
    std::string programFolder;
    // The X display.
    bool displayReachable = false;
    std::string display;
    std::string displayProblem;
    bool xwayland = false;
    std::string windowManager;  // empty: none
    bool panel = false;         // a dock window (a panel) is mapped
    bool xembedTray = false;
    std::optional<bool> statusNotifierWatcher;  // none: could not be asked
    // Typing.
    std::string inputMethodEnvironment;  // XMODIFIERS / GTK_IM_MODULE / QT_IM_MODULE as found
    std::string inputMethodDaemon;       // fcitx5, fcitx, ibus-daemon ... running for this user
    std::optional<int> cjkFontFamilies;  // none: fontconfig could not be asked
    // File types.
    bool desktopEntry = false, mimePackage = false, icon = false;
    std::string kivHandler, linkHandler;  // xdg-mime query default; empty: none or unknown
    bool registrationRepaired = false;
    // Folders, language, libraries, network.
    std::vector<TFolderFacts> folders;
    std::string languageFile;
    bool languageReadable = false;
    int languageMissingKeys = 0;
    std::string freerdpVersion;
    std::vector<std::string> proxyVariables;  // NAME=value, passwords hidden
    std::string caStore;                      // the CA bundle curl and OpenSSL read
    int caCertificates = 0;
};

enum class TCheckState { Ok, Warning, Missing };

struct TDoctorCheck {
    std::string name;
    TCheckState state = TCheckState::Ok;
    std::string detail;
    std::string hint;  // what to do about it; empty when nothing
};

std::vector<TDoctorCheck> EvaluateDoctorFacts(const TDoctorFacts& facts);

// The plain report: a heading, then "[ok]", "[warning]" or "[missing]", the name,
// the detail, and an indented hint line where there is one.
std::string FormatDoctorReport(const TDoctorFacts& facts, const std::vector<TDoctorCheck>& checks);

bool AnyMissing(const std::vector<TDoctorCheck>& checks);

}  // namespace kiv
