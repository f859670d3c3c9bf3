#pragma once
// Asks the user about a server certificate the client does not know or that
// changed since the last connection. Answered on the GUI thread.
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
