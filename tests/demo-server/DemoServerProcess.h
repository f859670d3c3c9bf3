#pragma once
// The real kiv-demo-server binary, started by a test on --port 0 with its
// state folder and transcript in a temporary folder, stopped by its PID.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kiv::demo::test {

using TJsonLine = nlohmann::json;

class TDemoServerProcess {
public:
    // Starts the server with `args` after --state-dir, --transcript and --port
    // (unless `args` names a port). Throws when no "listening on" line comes.
    TDemoServerProcess(const std::filesystem::path& folder, std::vector<std::string> args);
    ~TDemoServerProcess();
    TDemoServerProcess(const TDemoServerProcess&) = delete;
    TDemoServerProcess& operator=(const TDemoServerProcess&) = delete;

    int port() const { return port_; }
    const std::string& listeningLine() const { return listeningLine_; }
    std::filesystem::path stateDir() const { return folder_ / "state"; }

    std::vector<TJsonLine> Transcript() const;
    // The lines so far with this event (and, when given, this connection number).
    std::vector<TJsonLine> Events(const std::string& event, std::optional<int> connection = std::nullopt) const;
    // Polls the transcript until `count` lines of `event` are there.
    std::vector<TJsonLine> WaitEvents(const std::string& event, std::size_t count = 1,
                                      std::optional<int> connection = std::nullopt, int timeoutMs = 10000) const;

    // Sends `signal` and waits for the exit; the exit code, or -1 on a
    // timeout or a death by signal. `elapsed` gets the time it took.
    int Stop(int signal, int timeoutMs, std::chrono::milliseconds* elapsed = nullptr);
    bool Running();
    std::string Stderr() const;

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    int port_ = 0;
    std::string listeningLine_;
};

// Runs the server binary to its end (for --help and bad command lines).
struct TRunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
TRunResult RunDemoServer(const std::vector<std::string>& args);

// Connects a plain TCP socket to 127.0.0.1:port; -1 on failure.
int ConnectTcp(int port);
// Bytes readable on `fd` within `timeoutMs`: 0 for an orderly end, -1 for none.
long ReadWithin(int fd, std::string& into, int timeoutMs);

}  // namespace kiv::demo::test
