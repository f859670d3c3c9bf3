#include "platform/linux/DoctorFacts.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "infra/DebugLog.h"
#include "infra/LanguageKeys.h"
#include "infra/LanguageStyle.h"
#include "infra/SystemLocale.h"
#include "infra/UserFolders.h"
#include "launch/FarmList.h"
#include "platform/linux/ProcessControl.h"
#include "platform/linux/UnixHandOver.h"
#include "platform/linux/XdgFileTypes.h"

extern char** environ;

namespace kiv {

namespace {

constexpr int kProgramTimeoutMs = 5000;

// The standard output of a program, or none when it is not installed, fails or
// does not end in time (then it is killed: it is ours).
std::optional<std::string> ProgramOutput(const std::vector<std::string>& argv) {
    const std::filesystem::path program = FindInPath(argv.front());
    if (program.empty()) return std::nullopt;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = argv;
    std::vector<char*> raw;
    for (auto& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (error != 0) {
        close(out[0]);
        return std::nullopt;
    }
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProgramTimeoutMs);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::filesystem::path HomeBased(const char* variable, const char* fallback) {
    if (auto value = AbsoluteEnvFolder(variable)) return *value;
    if (auto home = AbsoluteEnvFolder("HOME")) return std::filesystem::path(*home) / fallback;
    return {};
}

TFolderFacts Folder(const std::string& what, const std::filesystem::path& base) {
    TFolderFacts folder;
    folder.what = what;
    if (base.empty()) return folder;
    folder.path = (base / std::string(kUserFolderName)).string();
    struct stat info {};
    if (stat(folder.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        folder.exists = true;
        folder.ownedByUser = info.st_uid == getuid();
        folder.mode = info.st_mode & 07777u;
    }
    return folder;
}

// Running programs of this user, by name (/proc/PID/comm).
std::set<std::string> UserProcessNames() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        struct stat info {};
        if (stat(entry.path().c_str(), &info) != 0 || info.st_uid != getuid()) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (std::getline(comm, name)) names.insert(name);
    }
    return names;
}

void InputMethod(TDoctorFacts& facts) {
    for (const char* variable : {"XMODIFIERS", "QT_IM_MODULE", "GTK_IM_MODULE"})
        if (const char* value = std::getenv(variable); value && *value)
            facts.inputMethodEnvironment += std::string(facts.inputMethodEnvironment.empty() ? "" : " ") + variable + "=" + value;
    const std::set<std::string> running = UserProcessNames();
    for (const char* daemon : {"fcitx5", "fcitx", "ibus-daemon", "uim-xim", "scim"})
        if (running.count(daemon)) {
            facts.inputMethodDaemon = daemon;
            break;
        }
}

void FileTypes(TDoctorFacts& facts) {
    if (const auto dataHome = UserDataHome()) {
        const TXdgRegistrationPaths paths = XdgRegistrationPaths(*dataHome);
        std::error_code ec;
        facts.desktopEntry = std::filesystem::exists(paths.desktopEntry, ec);
        facts.mimePackage = std::filesystem::exists(paths.mimePackage, ec);
        facts.icon = std::filesystem::exists(paths.icon, ec);
    }
    if (auto kiv = ProgramOutput({"xdg-mime", "query", "default", "application/x-kiv"})) facts.kivHandler = FirstLine(*kiv);
    if (auto link = ProgramOutput({"xdg-mime", "query", "default", "x-scheme-handler/kiv"}))
        facts.linkHandler = FirstLine(*link);
}

void Language(TDoctorFacts& facts, const std::filesystem::path& programFolder) {
    const TLanguageStyle style(programFolder, programFolder / "Resource.ini", SystemDefaultLanguageId());
    facts.languageReadable = style.HasLanguageFile();
    if (!facts.languageReadable) return;
    facts.languageFile = style.LanguageFilePath().string();
    const std::optional<TIniImage> file = TIniImage::FromFile(style.LanguageFilePath());
    for (const TLanguageKey& key : LanguageKeys())
        if (!file || file->ReadString(key.section, key.key, "").empty()) ++facts.languageMissingKeys;
}

// NAME=value, with a password in the address replaced by "***".
std::string WithoutPassword(const std::string& name, std::string value) {
    const auto scheme = value.find("://");
    const auto at = value.find('@');
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    if (at != std::string::npos && at > start) {
        const auto colon = value.find(':', start);
        if (colon != std::string::npos && colon < at) value.replace(colon + 1, at - colon - 1, "***");
    }
    return name + "=" + value;
}

void Proxy(TDoctorFacts& facts) {
    for (const char* variable : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"})
        if (const char* value = std::getenv(variable); value && *value) facts.proxyVariables.push_back(WithoutPassword(variable, value));
}

void CertificateStore(TDoctorFacts& facts) {
    const char* configured = std::getenv("SSL_CERT_FILE");
    facts.caStore = configured && *configured ? configured : "/etc/ssl/certs/ca-certificates.crt";
    std::ifstream in(facts.caStore);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("-----BEGIN CERTIFICATE-----", 0) == 0) ++facts.caCertificates;
}

}  // namespace

void GatherLinuxDoctorFacts(TDoctorFacts& facts, const std::filesystem::path& programFolder) {
    facts.programFolder = programFolder.string();
    InputMethod(facts);
    if (auto fonts = ProgramOutput({"fc-list", ":lang=zh", "family"})) {
        std::set<std::string> families;
        std::istringstream lines(*fonts);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) families.insert(line);
        facts.cjkFontFamilies = static_cast<int>(families.size());
    }
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        if (auto answer = ProgramOutput({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                                         "string:org.kde.StatusNotifierWatcher"}))
            facts.statusNotifierWatcher = answer->find("boolean true") != std::string::npos;
    FileTypes(facts);
    // The sockets' folder is where the hand-over endpoints put it.
    facts.folders = {Folder("settings", HomeBased("XDG_CONFIG_HOME", ".config")),
                     Folder("log", HomeBased("XDG_STATE_HOME", ".local/state")),
                     Folder("sockets", TUnixHandOverEndpoint::DefaultFolder().parent_path())};
    Language(facts, programFolder);
    Proxy(facts);
    CertificateStore(facts);
}

void RepairFolders(TDoctorFacts& facts) {
    for (TFolderFacts& folder : facts.folders) {
        if (folder.path.empty()) continue;
        if (!folder.exists) {
            folder.repaired = MakePrivateFolders(folder.path);
        } else if (folder.ownedByUser && (folder.mode & 077u) != 0) {
            folder.repaired = chmod(folder.path.c_str(), 0700) == 0;
        }
        if (!folder.repaired) continue;
        const TFolderFacts after = Folder(folder.what, std::filesystem::path(folder.path).parent_path());
        folder.exists = after.exists;
        folder.ownedByUser = after.ownedByUser;
        folder.mode = after.mode;
    }
}

}  // namespace kiv
