#include "FreeRdpTestHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kiv::test {

namespace {

// Reads the child's first line "listening on 127.0.0.1:PORT" within the deadline.
int ReadListeningPort(int fd, std::chrono::milliseconds timeout, std::string& error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            error = "no listening line in time; got: " + line;
            return 0;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready <= 0) continue;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0) {
            error = "server ended before listening; got: " + line;
            return 0;
        }
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        const std::string prefix = "listening on 127.0.0.1:";
        const auto at = line.find(prefix);
        if (at != std::string::npos) return std::atoi(line.c_str() + at + prefix.size());
        line.clear();
    }
}

}  // namespace

DemoServerProcess::DemoServerProcess(Options options) {
    transcript_ = dir_.path() / "transcript.jsonl";
    const std::filesystem::path stateDir = options.stateDir.empty() ? dir_.path() / "state" : options.stateDir;
    std::vector<std::string> args = {DEMO_SERVER_PATH, "--no-shell", "--port", std::to_string(options.port), "--state-dir", stateDir.string(),
                                     "--transcript", transcript_.string(), "--log-level", "ERROR"};
    if (options.newCertificate) args.push_back("--new-certificate");
    for (const auto& step : options.steps) {
        args.push_back("--step");
        args.push_back(step);
    }
    args.insert(args.end(), options.extraArguments.begin(), options.extraArguments.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        startError_ = "pipe failed";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        pid_ = -1;
        close(out[0]);
        startError_ = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return;
    }
    // Kept open until the server is stopped: a write to a closed pipe would end it.
    stdout_ = out[0];
    port_ = ReadListeningPort(stdout_, 10s, startError_);
}

DemoServerProcess::~DemoServerProcess() {
    Stop();
}

void DemoServerProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // It should end at once; one that lingers is killed so the test stays quick.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
    if (stdout_ >= 0) close(stdout_);
    stdout_ = -1;
}

std::vector<nlohmann::json> DemoServerProcess::Transcript() const {
    std::vector<nlohmann::json> lines;
    std::ifstream in(transcript_);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        // A line still being written is not valid JSON yet; the next poll gets it.
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        if (!parsed.is_discarded()) lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<nlohmann::json> DemoServerProcess::Events(const std::string& name) const {
    std::vector<nlohmann::json> matching;
    for (auto& event : Transcript())
        if (event.value("event", "") == name) matching.push_back(event);
    return matching;
}

bool DemoServerProcess::WaitForTranscript(const std::function<bool(const std::vector<nlohmann::json>&)>& pred,
                                          std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pred(Transcript())) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

std::size_t RecordingEvents::Count(const std::string& kind) const {
    std::size_t n = 0;
    for (const auto& event : events) n += event.kind == kind;
    return n;
}

std::optional<int32_t> RecordingEvents::DisconnectReason() const {
    for (const auto& event : events)
        if (event.kind == "disconnected") return event.reason;
    return std::nullopt;
}

std::vector<std::string> RecordingEvents::Kinds() const {
    std::vector<std::string> kinds;
    for (const auto& event : events)
        if (event.kind != "data") kinds.push_back(event.kind);
    return kinds;
}

std::vector<TBytes> RecordingEvents::DataOn(const std::string& channel) const {
    std::vector<TBytes> data;
    for (const auto& event : events)
        if (event.kind == "data" && event.channel == channel) data.push_back(event.data);
    return data;
}

ControlFixture::ControlFixture(bool promptAnswer, std::chrono::milliseconds connectTimeout,
                               std::filesystem::path config)
    : prompt(promptAnswer), configPath(config.empty() ? dir.path() / "freerdp" : config) {
    TFreeRdpControlOptions options;
    options.configPath = configPath.string();
    options.connectTimeout = connectTimeout;
    options.homeFolder = dir.path().string();
    control = std::make_unique<TFreeRdpControl>(loop, prompt, options);
    control->SetEvents(&events);
    control->SetDisplayListener(&display);
}

ControlFixture::~ControlFixture() { control.reset(); }

void ControlFixture::ConfigureFor(const std::string& host, int port) {
    control->CreateVirtualChannels("CSML,CSMT,CSMP");
    IAdvancedSettings* advanced = control->AdvancedSettings(TAdvancedSettingsLevel::Level3);
    advanced->SetEnableAutoReconnect(true);
    control->SetVirtualChannelOptions("CSMP", 0x08200000);
    control->SetVirtualChannelOptions("CSML", 0x08200000);
    control->SetVirtualChannelOptions("CSMT", 0x08800000);
    control->SetServer(host);
    advanced->SetRDPPort(port);
    control->SetUserName("tester");
    control->SetDomain("DEMO");
    advanced->SetClearTextPassword("secret");
    control->SetColorDepth(32);
    control->SetDesktopWidth(1024);
    control->SetDesktopHeight(768);
    control->SecuredSettings()->SetAudioRedirectionMode(2);
}

bool ControlFixture::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    return loop.RunUntil(pred, timeout);
}

bool ControlFixture::WaitConnected(std::chrono::milliseconds timeout) {
    return RunUntil([&] { return events.Has("connected") || events.Has("disconnected"); }, timeout) &&
           events.Has("connected");
}

std::optional<int32_t> ControlFixture::WaitDisconnected(std::chrono::milliseconds timeout) {
    RunUntil([&] { return events.Has("disconnected"); }, timeout);
    return events.DisconnectReason();
}

int ClosedLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) close(fd);
        return 0;
    }
    close(fd);
    return ntohs(address.sin_port);
}

std::string ToHex(const TBytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

TBytes PatternBytes(std::size_t n, uint8_t seed) {
    TBytes bytes(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

}  // namespace kiv::test
