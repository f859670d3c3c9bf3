#include "support/XvfbDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

extern char** environ;

namespace kiv::test {

namespace {

constexpr int kDisplayFd = 3;  // the descriptor number Xvfb is told to write to
constexpr auto kStartTimeout = std::chrono::seconds(20);

}  // namespace

XvfbDisplay::XvfbDisplay(const std::string& screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copy: only that end reaches Xvfb.
    posix_spawn_file_actions_adddup2(&actions, fds[1], kDisplayFd);
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(kDisplayFd), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        close(fds[0]);
        error_ = std::string("cannot start Xvfb: ") + std::strerror(rc);
        return;
    }

    // Xvfb writes the number and a newline once it accepts clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error_ = "Xvfb did not report a display in time";
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[32];
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            error_ = "Xvfb ended before reporting a display";
            break;
        }
        number.append(buffer, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (error_.empty()) {
        number.erase(number.find('\n'));
        display_ = ":" + number;
    }
}

XvfbDisplay::~XvfbDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace kiv::test
