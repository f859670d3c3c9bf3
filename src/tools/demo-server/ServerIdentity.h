#pragma once
// The server's TLS identity: a self-signed certificate and its RSA key in the
// state folder, made on first start and reused after, so a client that
// remembered the certificate sees the same one again. A forced renewal lets a
// test present a changed certificate.
#include <filesystem>
#include <string>

namespace kiv::demo {

struct TServerIdentity {
    std::filesystem::path certificateFile;  // PEM, "server.crt"
    std::filesystem::path keyFile;          // PEM, "server.key", readable by the owner only
    std::string sha256;                     // fingerprint of the certificate, "AB:CD:..."
};

// Creates the folder when needed. Throws std::runtime_error.
TServerIdentity PrepareServerIdentity(const std::filesystem::path& stateDir, bool renew);

}  // namespace kiv::demo
