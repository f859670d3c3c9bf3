#include "support/PortalServer.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kiv::test {

namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr auto kStartTimeout = std::chrono::seconds(20);

}  // namespace

std::optional<TTestCertificate> MakeSelfSignedCertificate(const std::filesystem::path& folder) {
    TTestCertificate result{folder / "portal-cert.pem", folder / "portal-key.pem"};
    const int code = RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                 "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", result.keyFile.string(), "-out",
                                 result.certFile.string(), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                 "subjectAltName=IP:127.0.0.1"});
    if (code != 0) return std::nullopt;
    return result;
}

TPortalServer::TPortalServer(const std::string& answer, const TTestCertificate* tls) {
    const auto answerFile = folder_.Write("answer.txt", answer);
    std::vector<std::string> argv = {kPython, PORTAL_SERVER_SCRIPT, "--answer", answerFile.string(), "--log",
                                     (folder_.path() / "requests.log").string()};
    if (tls != nullptr) argv.insert(argv.end(), {"--cert", tls->certFile.string(), "--key", tls->keyFile.string()});
    ChildProcess::Options options;
    options.stderrFile = "/dev/null";
    options.endSignal = SIGKILL;
    // The server's first line is the port it listens on.
    if (process_.Start(argv, options))
        if (const auto line = process_.ReadLine(kStartTimeout)) port_ = std::atoi(line->c_str());
}

std::vector<nlohmann::json> TPortalServer::Requests() const {
    std::vector<nlohmann::json> requests;
    std::ifstream log(folder_.path() / "requests.log");
    for (std::string line; std::getline(log, line);)
        if (!line.empty()) requests.push_back(nlohmann::json::parse(line));
    return requests;
}

}  // namespace kiv::test
