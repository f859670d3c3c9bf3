#pragma once
// Real peers for the portal fetch, all on 127.0.0.1: a small portal (Debian's
// python3 http.server, plain or TLS), squid as the farm's HTTP proxy, a port that
// refuses and a listener that never answers. Every peer runs from a temporary
// folder and is stopped by its PID.
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "support/SilentListener.h"
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

// The python portal answering every page but /missing (404) and /moved (302)
// with the bytes of its answer file.
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

// squid in the foreground, requiring basic authentication as user/password, and
// letting requests through only to 127.0.0.1.
class TSquidProxy {
public:
    static bool Available();
    TSquidProxy(const std::string& user, const std::string& password);
    ~TSquidProxy();
    bool Running() const { return port_ != 0; }
    int Port() const { return port_; }

private:
    TempDir folder_;
    ChildProcess process_;
    int port_ = 0;
};

// A port on 127.0.0.1 held by a socket that does not listen: connecting is refused.
class TClosedPort {
public:
    TClosedPort();
    ~TClosedPort();
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A free port on 127.0.0.1 at the time of asking.
int FreeLoopbackPort();

}  // namespace kiv::test
