#pragma once
// Asks the user about a server certificate that changed since the last connection,
// or that is not remembered and does not verify against the system's CA store for
// the host. Answered on the GUI thread.
#include <string>

namespace kiv {

struct TCertificateQuestion {
    std::string host;
    int port = 0;
    std::string subject;
    std::string issuer;
    std::string fingerprint;     // the presented certificate's SHA-256, hex pairs with ":"
    std::string oldFingerprint;  // the remembered one; empty for an unknown certificate
};

class ICertificatePrompt {
public:
    virtual ~ICertificatePrompt() = default;
    // true: accept for this session; false: refuse (the connection ends with a security error).
    virtual bool AcceptCertificate(const TCertificateQuestion& question) = 0;
};

}  // namespace kiv
