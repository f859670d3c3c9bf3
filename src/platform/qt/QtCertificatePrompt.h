#pragma once
// The question about a server certificate, as a modal Yes/No message box in the
// language of the installation.
#include <QString>

#include "ports/CertificatePrompt.h"

class QWidget;

namespace kiv {

class TQtCertificatePrompt final : public ICertificatePrompt {
public:
    // The object name of the message box while it is open (tests and accessibility
    // tools find it by this).
    static constexpr const char* kBoxObjectName = "kivCertificatePrompt";

    explicit TQtCertificatePrompt(QWidget* parent = nullptr) : parent_(parent) {}

    // Modal: returns once the user answered. Yes accepts.
    bool AcceptCertificate(const TCertificateQuestion& question) override;

    // The texts the box shows for a question, from the current language file.
    static QString CaptionFor(const TCertificateQuestion& question);
    static QString TextFor(const TCertificateQuestion& question);

private:
    QWidget* parent_;
};

}  // namespace kiv
