#pragma once
// The demo server as this suite starts it (see support/DemoServer.h): in the
// test's folder, with an exception when it does not come up; and the server
// run to its end, for --help and bad command lines.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/DemoServer.h"

namespace kiv::demo::test {

using TJsonLine = nlohmann::json;

class TDemoServerProcess : public kiv::test::DemoServer {
public:
    TDemoServerProcess(const std::filesystem::path& folder, std::vector<std::string> args);
    using DemoServer::Stop;

    int port() const { return Port(); }
    const std::string& listeningLine() const { return ListeningLine(); }
    std::filesystem::path stateDir() const { return StateDir(); }
    std::vector<TJsonLine> WaitEvents(const std::string& event, std::size_t count = 1,
                                      std::optional<int> connection = std::nullopt, int timeoutMs = 10000) const {
        return DemoServer::WaitEvents(event, count, connection, std::chrono::milliseconds(timeoutMs));
    }
    int Stop(int signal, int timeoutMs, std::chrono::milliseconds* elapsed = nullptr) {
        return DemoServer::Stop(signal, std::chrono::milliseconds(timeoutMs), elapsed);
    }
};

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
