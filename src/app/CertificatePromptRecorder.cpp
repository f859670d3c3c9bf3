#include "app/CertificatePromptRecorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/qt/QtCertificatePrompt.h"

namespace kiv {

namespace {

constexpr int kShownMs = 700;

void AnswerYesSoon() {
    QTimer::singleShot(kShownMs, qApp, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible() && box->objectName() == TQtCertificatePrompt::kBoxObjectName)
                if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
        }
    });
}

}  // namespace

bool TCertificatePromptRecorder::AcceptCertificate(const TCertificateQuestion& question) {
    {
        std::ofstream log(logFile_, std::ios::app);
        log << nlohmann::json{{"certificate",
                               {{"host", question.host},
                                {"port", question.port},
                                {"subject", question.subject},
                                {"issuer", question.issuer},
                                {"fingerprint", question.fingerprint},
                                {"oldFingerprint", question.oldFingerprint}}}}
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
    }
    AnswerYesSoon();
    return shown_.AcceptCertificate(question);
}

}  // namespace kiv
