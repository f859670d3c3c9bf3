#include "support/DemoServer.h"

#include <algorithm>
#include <fstream>
#include <thread>

namespace kiv::test {

namespace {

constexpr char kListening[] = "listening on 127.0.0.1:";
#ifdef DEMO_SERVER_PATH
constexpr char kProgram[] = DEMO_SERVER_PATH;
#else
constexpr char kProgram[] = "";
#endif

bool Names(const std::vector<std::string>& arguments, const std::string& option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

}  // namespace

DemoServer::DemoServer(std::vector<std::string> arguments, std::filesystem::path folder) {
    if (folder.empty()) {
        ownFolder_ = std::make_unique<TempDir>();
        folder = ownFolder_->path();
    }
    folder_ = folder;
    std::filesystem::create_directories(folder_);
    transcript_ = folder_ / "transcript.jsonl";
    std::vector<std::string> argv{kProgram};
    if (!Names(arguments, "--state-dir")) argv.insert(argv.end(), {"--state-dir", StateDir().string()});
    if (Names(arguments, "--transcript"))
        transcript_ = *(std::find(arguments.begin(), arguments.end(), "--transcript") + 1);
    else
        argv.insert(argv.end(), {"--transcript", transcript_.string()});
    if (!Names(arguments, "--port")) argv.insert(argv.end(), {"--port", "0"});
    argv.insert(argv.end(), arguments.begin(), arguments.end());

    if (kProgram[0] == '\0') {
        startError_ = "kiv-demo-server is not part of this build";
        return;
    }
    ChildProcess::Options options;
    options.stderrFile = (folder_ / "server.log").string();
    // The stdout pipe stays open while the server runs: a write to a closed pipe would end it.
    if (!process_.Start(argv, options)) {
        startError_ = std::string("cannot start ") + kProgram;
        return;
    }
    const auto line = process_.ReadLine(std::chrono::seconds(10));
    if (!line) {
        startError_ = "the demo server printed no line; stderr: " + Stderr();
        return;
    }
    listeningLine_ = *line;
    if (listeningLine_.rfind(kListening, 0) != 0) {
        startError_ = "unexpected line: " + listeningLine_ + "; stderr: " + Stderr();
        return;
    }
    port_ = std::stoi(listeningLine_.substr(sizeof kListening - 1));
}

DemoServer::~DemoServer() { Stop(); }

std::vector<nlohmann::json> DemoServer::Transcript() const {
    std::vector<nlohmann::json> lines;
    std::ifstream in(transcript_);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        if (!parsed.is_discarded()) lines.push_back(std::move(parsed));
    }
    return lines;
}

std::vector<nlohmann::json> DemoServer::Events(const std::string& event, std::optional<int> connection) const {
    std::vector<nlohmann::json> found;
    for (auto& line : Transcript()) {
        if (!line.is_object() || line.value("event", "") != event) continue;
        if (connection && line.value("connection", 0) != *connection) continue;
        found.push_back(std::move(line));
    }
    return found;
}

std::vector<nlohmann::json> DemoServer::WaitEvents(const std::string& event, std::size_t count,
                                                   std::optional<int> connection,
                                                   std::chrono::milliseconds timeout) const {
    std::vector<nlohmann::json> found;
    WaitForTranscript(
        [&](const std::vector<nlohmann::json>&) {
            found = Events(event, connection);
            return found.size() >= count;
        },
        timeout);
    return found;
}

bool DemoServer::WaitForTranscript(const std::function<bool(const std::vector<nlohmann::json>&)>& pred,
                                   std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (pred(Transcript())) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void DemoServer::Stop() {
    // It should end at once; one that lingers is killed so the test stays quick.
    if (!process_.Stop(SIGTERM, std::chrono::seconds(2))) process_.Stop(SIGKILL, std::chrono::seconds(5));
}

int DemoServer::Stop(int signal, std::chrono::milliseconds timeout, std::chrono::milliseconds* elapsed) {
    const auto start = std::chrono::steady_clock::now();
    const std::optional<int> code = process_.Stop(signal, timeout);
    if (!code) return -1;
    if (elapsed)
        *elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return *code < 128 ? *code : -1;
}

std::string DemoServer::Stderr() const { return ReadFileBytes(folder_ / "server.log"); }

}  // namespace kiv::test
