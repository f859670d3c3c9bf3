#include "platform/linux/ProcessControl.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "infra/DebugLog.h"

extern char** environ;

namespace kiv {

namespace {

constexpr int kRepairWaitMs = 5000;

// Waits for the child at most that long; it is reaped when it ends in time.
bool WaitForExit(pid_t pid, int timeoutMs) {
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        const int ready = poll(&p, 1, timeoutMs);
        close(pidfd);
        if (ready <= 0) return false;
        int status = 0;
        return waitpid(pid, &status, 0) == pid;
    }
#endif
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

std::filesystem::path FindInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = folders.find(':', start);
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end == std::string::npos ? std::string::npos : end - start)) /
            name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

void KillUserProcesses(const std::string& name) {
    const std::string wanted = name.substr(0, 15);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pidText = entry.path().filename().string();
        if (pidText.empty() || pidText.find_first_not_of("0123456789") != std::string::npos) continue;
        struct stat info {};
        if (stat(entry.path().c_str(), &info) != 0 || info.st_uid != getuid()) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string processName;
        std::getline(comm, processName);
        if (processName == wanted) kill(static_cast<pid_t>(std::stol(pidText)), SIGKILL);
    }
}

bool RunRepairTool(const std::filesystem::path& programFolder, const std::string& mode) {
    const std::filesystem::path tool = programFolder / "FixClient";
    if (access(tool.c_str(), X_OK) != 0) {
        if (DebugSwitches[dmMain]) WriteLog("[RunRepairTool]missing " + tool.string());
        return false;
    }
    const std::filesystem::path pkexec = FindInPath("pkexec");
    std::vector<std::string> args;
    if (!pkexec.empty()) args.push_back(pkexec.string());
    args.push_back(tool.string());
    args.push_back(mode);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    return WaitForExit(pid, kRepairWaitMs);
}

}  // namespace kiv
