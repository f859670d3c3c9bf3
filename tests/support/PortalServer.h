#pragma once
// A small portal on 127.0.0.1 (Debian's python3 http.server, plain or TLS),
// run from a temporary folder and stopped by its PID.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kiv::test {

// A self-signed certificate for 127.0.0.1 (subject alternative name IP:127.0.0.1).
struct TTestCertificate {
    std::filesystem::path certFile;
    std::filesystem::path keyFile;
};
std::optional<TTestCertificate> MakeSelfSignedCertificate(const std::filesystem::path& folder);

// Answers every page but /missing (404) and /moved (302) with the bytes of its
// answer file.
class TPortalServer {
public:
    explicit TPortalServer(const std::string& answer, const TTestCertificate* tls = nullptr);
    bool Running() const { return port_ != 0; }
    int Port() const { return port_; }
    // The requests received so far: {"path": ..., "headers": {lower-cased name: value}}.
    std::vector<nlohmann::json> Requests() const;

private:
    TempDir folder_;
    ChildProcess process_;
    int port_ = 0;
};

}  // namespace kiv::test
