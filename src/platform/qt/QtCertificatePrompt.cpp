#include "platform/qt/QtCertificatePrompt.h"

#include <QMessageBox>
#include <QPushButton>

#include <string>

#include "infra/LanguageStyle.h"
#include "infra/TextFormat.h"

namespace kiv {

namespace {

std::string LanguageText(const char* key) {
    const TLanguageStyle* style = LanguageStyle();
    return style ? style->GetText(key) : std::string();
}

bool IsChanged(const TCertificateQuestion& question) { return !question.oldFingerprint.empty(); }

}  // namespace

QString TQtCertificatePrompt::CaptionFor(const TCertificateQuestion& question) {
    const std::string caption = LanguageText(IsChanged(question) ? "CertChangedCaption" : "CertUnknownCaption");
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString TQtCertificatePrompt::TextFor(const TCertificateQuestion& question) {
    std::string text;
    if (IsChanged(question)) {
        text = Format(LanguageText("CertChangedInfo"),
                      {std::string_view(question.host), std::string_view(question.oldFingerprint),
                       std::string_view(question.fingerprint)});
    } else {
        // Asked only when no authority this machine trusts vouches for the certificate:
        // who issued it is part of what the user checks.
        text = Format(LanguageText("CertUnknownInfo"),
                      {std::string_view(question.host), std::string_view(question.issuer),
                       std::string_view(question.fingerprint)});
    }
    // Without a language file the user still has to see what is being asked about.
    if (text.empty()) text = question.host + "\n" + question.issuer + "\n" + question.fingerprint;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool TQtCertificatePrompt::AcceptCertificate(const TCertificateQuestion& question) {
    QMessageBox box(IsChanged(question) ? QMessageBox::Warning : QMessageBox::Question, CaptionFor(question),
                    TextFor(question), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setObjectName(kBoxObjectName);
    // Host names come from connection files: never let one be read as markup.
    box.setTextFormat(Qt::PlainText);
    // Neither a changed certificate nor one no authority vouches for is accepted by
    // Enter alone: either may mean someone is in the middle.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace kiv
