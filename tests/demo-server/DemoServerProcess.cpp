#include "DemoServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kiv::demo::test {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

pid_t Spawn(const std::vector<std::string>& args, int outFd, int errFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv{const_cast<char*>(DEMO_SERVER_PATH)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(DEMO_SERVER_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

TDemoServerProcess::TDemoServerProcess(const std::filesystem::path& folder, std::vector<std::string> args)
    : folder_(folder) {
    std::vector<std::string> all{"--state-dir", stateDir().string(), "--transcript",
                                 (folder_ / "transcript.jsonl").string()};
    bool hasPort = false;
    for (const auto& arg : args) hasPort = hasPort || arg == "--port";
    if (!hasPort) all.insert(all.end(), {"--port", "0"});
    all.insert(all.end(), args.begin(), args.end());

    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    const int err = open((folder_ / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = Spawn(all, out[1], err);
    close(out[1]);
    close(err);

    // The first line on stdout, within 10 s.
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{out[0], POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(out[0]);
    const auto newline = text.find('\n');
    if (newline == std::string::npos) {
        throw std::runtime_error("the demo server printed no line; stderr: " + Stderr());
    }
    listeningLine_ = text.substr(0, newline);
    const std::string prefix = "listening on 127.0.0.1:";
    if (listeningLine_.rfind(prefix, 0) != 0) throw std::runtime_error("unexpected line: " + listeningLine_);
    port_ = std::stoi(listeningLine_.substr(prefix.size()));
}

TDemoServerProcess::~TDemoServerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::vector<TJsonLine> TDemoServerProcess::Transcript() const {
    std::vector<TJsonLine> lines;
    std::istringstream text(ReadAll(folder_ / "transcript.jsonl"));
    std::string line;
    while (std::getline(text, line)) {
        // A line being written has no newline yet; getline still returns it, so parse leniently.
        auto parsed = TJsonLine::parse(line, nullptr, false);
        if (!parsed.is_discarded()) lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<TJsonLine> TDemoServerProcess::Events(const std::string& event, std::optional<int> connection) const {
    std::vector<TJsonLine> found;
    for (auto& line : Transcript()) {
        if (line.value("event", "") != event) continue;
        if (connection && line.value("connection", 0) != *connection) continue;
        found.push_back(std::move(line));
    }
    return found;
}

std::vector<TJsonLine> TDemoServerProcess::WaitEvents(const std::string& event, std::size_t count,
                                                      std::optional<int> connection, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto found = Events(event, connection);
    while (found.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        found = Events(event, connection);
    }
    return found;
}

int TDemoServerProcess::Stop(int signal, int timeoutMs, std::chrono::milliseconds* elapsed) {
    const auto start = std::chrono::steady_clock::now();
    kill(pid_, signal);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeoutMs)) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    if (elapsed) {
        *elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool TDemoServerProcess::Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

std::string TDemoServerProcess::Stderr() const { return ReadAll(folder_ / "stderr.txt"); }

TRunResult RunDemoServer(const std::vector<std::string>& args) {
    char outPath[] = "/tmp/kiv-demo-out-XXXXXX";
    char errPath[] = "/tmp/kiv-demo-err-XXXXXX";
    const int out = mkstemp(outPath);
    const int err = mkstemp(errPath);
    const pid_t pid = Spawn(args, out, err);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out);
    close(err);
    TRunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadAll(outPath);
    result.err = ReadAll(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}

int ConnectTcp(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

long ReadWithin(int fd, std::string& into, int timeoutMs) {
    pollfd poller{fd, POLLIN, 0};
    if (poll(&poller, 1, timeoutMs) <= 0) return -1;
    char chunk[4096];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n > 0) into.append(chunk, static_cast<std::size_t>(n));
    return n < 0 ? 0 : n;
}

}  // namespace kiv::demo::test
