#pragma once
// For the end-to-end tests, beside TMessagePromptRecorder: with $KIV_TEST_MESSAGE_LOG
// set, every certificate question is appended to the same file as a JSON line
// ({"certificate": {"host","port","subject","issuer","fingerprint","oldFingerprint"}})
// and, after being shown for a moment, answered Yes, so an unattended run against
// the demo server's own certificate goes on.
#include <string>

#include "ports/CertificatePrompt.h"

namespace kiv {

class TCertificatePromptRecorder final : public ICertificatePrompt {
public:
    TCertificatePromptRecorder(ICertificatePrompt& shown, std::string logFile)
        : shown_(shown), logFile_(std::move(logFile)) {}
    bool AcceptCertificate(const TCertificateQuestion& question) override;

private:
    ICertificatePrompt& shown_;
    std::string logFile_;
};

}  // namespace kiv
