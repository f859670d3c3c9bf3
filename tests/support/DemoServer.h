#pragma once
// The real kiv-demo-server, started by a test on 127.0.0.1 with --port 0 (unless
// its arguments name a port): the port read from its first line, its state,
// transcript and log in a folder of the test's, stopped by its PID.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kiv::test {

class DemoServer {
public:
    // `arguments` follow --state-dir FOLDER/state, --transcript
    // FOLDER/transcript.jsonl and --port 0, each left out where `arguments`
    // name it. An empty folder means a temporary one of the object's own.
    explicit DemoServer(std::vector<std::string> arguments, std::filesystem::path folder = {});
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    bool Started() const { return port_ != 0; }
    int Port() const { return port_; }
    const std::string& StartError() const { return startError_; }
    const std::string& ListeningLine() const { return listeningLine_; }
    const std::filesystem::path& Folder() const { return folder_; }
    // Where the server keeps its certificate, unless its arguments say otherwise.
    std::filesystem::path StateDir() const { return folder_ / "state"; }

    // The transcript's lines so far, each a JSON object; a line still being
    // written is left for the next look.
    std::vector<nlohmann::json> Transcript() const;
    // The lines with this event (and, when given, this connection number).
    std::vector<nlohmann::json> Events(const std::string& event, std::optional<int> connection = std::nullopt) const;
    // Polls the transcript until `count` lines of `event` are there.
    std::vector<nlohmann::json> WaitEvents(const std::string& event, std::size_t count = 1,
                                           std::optional<int> connection = std::nullopt,
                                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Polls the transcript until the predicate holds for it; false on the deadline.
    bool WaitForTranscript(const std::function<bool(const std::vector<nlohmann::json>&)>& pred,
                           std::chrono::milliseconds timeout) const;

    // SIGTERM, and SIGKILL when it lingers past two seconds.
    void Stop();
    // Sends the signal and waits; the exit code, or -1 on a timeout or a death
    // by signal. `elapsed` gets the time it took.
    int Stop(int signal, std::chrono::milliseconds timeout, std::chrono::milliseconds* elapsed = nullptr);
    bool Running() { return process_.Running(); }
    // What the server wrote on stderr.
    std::string Stderr() const;

private:
    std::unique_ptr<TempDir> ownFolder_;
    std::filesystem::path folder_;
    std::filesystem::path transcript_;
    ChildProcess process_;
    int port_ = 0;
    std::string listeningLine_;
    std::string startError_;
};

}  // namespace kiv::test
