#include "infra/DebugLog.h"

#include "infra/UserFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "infra/TextRules.h"

namespace kiv {

std::array<bool, kDebugSlotCount> DebugSwitches{};

namespace {

constexpr std::string_view kModuleNames[] = {"Main", "Shell", "Sml", "Tray", "Print", "Folder", "Speed"};

// Taken once at start, so every line of this instance carries the same id.
pid_t gProcessId = 0;

std::filesystem::path& LogPathSlot() {
    static std::filesystem::path path = DefaultLogFilePath();
    return path;
}

std::string LinePrefix() {
    const pid_t pid = gProcessId != 0 ? gProcessId : ::getpid();
    std::string prefix = "[" + std::to_string(pid) + "]" + std::to_string(::gettid()) + "\t";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32];
    if (::localtime_r(&now, &local) != nullptr &&
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local) != 0)
        prefix += stamp;
    else
        prefix += "0000-00-00 00:00:00 ";
    return prefix;
}

// Appends the whole line with one call: the file is opened for appending, so
// lines of several instances (and threads) never cut into each other.
void AppendLine(const std::filesystem::path& path, const std::string& line) {
    // Non-blocking so that a FIFO planted at the path cannot hang the caller.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const char* data = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, left);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) break;  // disk full or I/O error: the line is lost, the caller goes on
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    ::close(fd);
}

}  // namespace

void InitDebugSwitches(std::string_view value) {
    DebugSwitches.fill(false);
    gProcessId = ::getpid();
    if (value.empty()) return;
    if (EqualsNoCase(value, "all")) {
        DebugSwitches.fill(true);
        return;
    }
    for (const std::string& item : SplitCommaText(value))
        for (std::size_t slot = 0; slot < std::size(kModuleNames); ++slot)
            if (EqualsNoCase(item, kModuleNames[slot])) DebugSwitches[slot] = true;
}

std::filesystem::path DefaultLogFilePath() {
    std::optional<std::string> base = AbsoluteEnvFolder("XDG_STATE_HOME");
    if (!base) {
        const std::optional<std::string> home = AbsoluteEnvFolder("HOME");
        // No home at all: no log, rather than a file in some shared place.
        if (!home) return {};
        base = *home + "/.local/state";
    }
    return std::filesystem::path(*base) / "VYNClient6.0" / "KivClient.log";
}

void SetLogFilePath(const std::filesystem::path& path) { LogPathSlot() = path; }

const std::filesystem::path& LogFilePath() { return LogPathSlot(); }

void WriteLog(std::string_view message) {
    try {
        const std::filesystem::path& path = LogFilePath();
        if (path.empty()) return;
        const std::filesystem::path folder = path.parent_path();
        if (!folder.empty()) {
            std::error_code ec;
            if (!std::filesystem::is_directory(folder, ec) && !MakePrivateFolders(folder.string())) return;
        }
        std::string line = LinePrefix();
        line.append(message);
        line.append("\r\n");
        AppendLine(path, line);
    } catch (...) {
        // Out of memory while building the line: logging must never break the caller.
    }
}

}  // namespace kiv
