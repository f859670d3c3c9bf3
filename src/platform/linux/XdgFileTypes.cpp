#include "platform/linux/XdgFileTypes.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>
#include <vector>

#include "infra/DebugLog.h"
#include "infra/UserFolders.h"

extern char** environ;

namespace kiv {

namespace {

std::optional<std::string> FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Written through a temporary file and a rename, so a desktop reading the
// folder never sees half an entry. Unchanged files are left alone.
enum class TWrite { Unchanged, Written, Failed };
TWrite WriteIfChanged(const std::filesystem::path& path, const std::string& text) {
    if (FileText(path) == text) return TWrite::Unchanged;
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    const std::filesystem::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush())
            return TWrite::Failed;
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        return TWrite::Failed;
    }
    return TWrite::Written;
}

// The standard programs, each only when it is installed; their output is of no
// use to anyone here.
constexpr const char* kRefreshScript =
    "data=\"$1\"; changed=\"$2\"; shift 2\n"
    "if [ \"$changed\" = 1 ]; then\n"
    "  command -v update-mime-database >/dev/null && update-mime-database \"$data/mime\"\n"
    "  command -v update-desktop-database >/dev/null && update-desktop-database \"$data/applications\"\n"
    "fi\n"
    "if [ $# -gt 0 ] && command -v xdg-mime >/dev/null; then xdg-mime default kivclient.desktop \"$@\"; fi\n"
    "exit 0\n";

void RunRefresh(const std::filesystem::path& dataHome, bool changed, const std::vector<std::string>& defaultFor,
                TRegistrationWait wait) {
    std::vector<std::string> args{"/bin/sh", "-c", std::string(kRefreshScript), "kiv-register", dataHome.string(),
                                  changed ? "1" : "0"};
    // In the background the refresh runs at the lowest priority: it must not
    // take the processor from the session being started.
    const char* program = "/bin/sh";
    if (wait == TRegistrationWait::InBackground && ::access("/usr/bin/nice", X_OK) == 0) {
        args.insert(args.begin(), {"/usr/bin/nice", "-n", "19"});
        program = "/usr/bin/nice";
    }
    args.insert(args.end(), defaultFor.begin(), defaultFor.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        if (DebugSwitches[dmMain]) WriteLog("[RegisterFileType]no shell to refresh the desktop's caches");
        return;
    }
    auto reap = [pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    };
    if (wait == TRegistrationWait::UntilDone) reap();
    else std::thread(reap).detach();
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::optional<std::filesystem::path> UserConfigHome() {
    if (auto config = AbsoluteEnvFolder("XDG_CONFIG_HOME")) return std::filesystem::path(*config);
    if (auto home = AbsoluteEnvFolder("HOME")) return std::filesystem::path(*home) / ".config";
    return std::nullopt;
}

}  // namespace

bool MimeDefaultsInPlace(std::string_view mimeAppsText, const std::vector<std::string>& types, std::string_view entry) {
    std::vector<bool> found(types.size(), false);
    bool inDefaults = false;
    while (!mimeAppsText.empty()) {
        const auto end = mimeAppsText.find('\n');
        const std::string_view line = Trimmed(mimeAppsText.substr(0, end));
        mimeAppsText.remove_prefix(end == std::string_view::npos ? mimeAppsText.size() : end + 1);
        if (!line.empty() && line.front() == '[') {
            inDefaults = line == "[Default Applications]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inDefaults || equals == std::string_view::npos) continue;
        const std::string_view type = Trimmed(line.substr(0, equals));
        const std::string_view value = line.substr(equals + 1);
        const std::string_view first = Trimmed(value.substr(0, value.find(';')));
        for (std::size_t i = 0; i < types.size(); ++i)
            if (type == types[i]) found[i] = first == entry;  // the last line of a type counts
    }
    for (const bool ok : found)
        if (!ok) return false;
    return true;
}

std::optional<std::filesystem::path> UserDataHome() {
    if (auto data = AbsoluteEnvFolder("XDG_DATA_HOME")) return std::filesystem::path(*data);
    if (auto home = AbsoluteEnvFolder("HOME")) return std::filesystem::path(*home) / ".local" / "share";
    return std::nullopt;
}

TXdgRegistrationPaths XdgRegistrationPaths(const std::filesystem::path& dataHome) {
    return TXdgRegistrationPaths{dataHome / "applications" / std::string(kDesktopEntryName),
                                 dataHome / "mime" / "packages" / std::string(kMimePackageName),
                                 dataHome / "icons" / "hicolor" / "scalable" / "apps" / (std::string(kIconName) + ".svg")};
}

bool RegisterFileTypesForUser(const TFileTypeRegistration& registration, const std::filesystem::path& iconSource,
                              TRegistrationWait wait) {
    const std::optional<std::filesystem::path> dataHome = UserDataHome();
    if (!dataHome) return false;
    const TXdgRegistrationPaths paths = XdgRegistrationPaths(*dataHome);
    bool changed = false;
    bool complete = true;
    auto note = [&](TWrite result) {
        changed = changed || result == TWrite::Written;
        complete = complete && result != TWrite::Failed;
    };
    note(WriteIfChanged(paths.mimePackage, registration.mimePackage));
    if (const std::optional<std::string> icon = FileText(iconSource)) note(WriteIfChanged(paths.icon, *icon));
    else complete = false;
    if (registration.desktopEntry) note(WriteIfChanged(paths.desktopEntry, *registration.desktopEntry));
    if (DebugSwitches[dmMain])
        WriteLog(std::string("[RegisterFileType]") + (complete ? "registered" : "incomplete") +
                 (changed ? ", files changed" : ", files unchanged"));
    // Nothing changed and the defaults already set: the caches are current and
    // the programs (a shell, xdg-mime and its helpers) would only rewrite the
    // same list while the session is being started.
    if (!changed) {
        const std::optional<std::filesystem::path> configHome = UserConfigHome();
        const std::optional<std::string> mimeApps =
            configHome ? FileText(*configHome / "mimeapps.list") : std::nullopt;
        if (registration.defaultFor.empty() ||
            (mimeApps && MimeDefaultsInPlace(*mimeApps, registration.defaultFor, kDesktopEntryName))) {
            if (DebugSwitches[dmMain]) WriteLog("[RegisterFileType]caches and defaults up to date, nothing run");
            return complete;
        }
    }
    RunRefresh(*dataHome, changed, registration.defaultFor, wait);
    return complete;
}

}  // namespace kiv
