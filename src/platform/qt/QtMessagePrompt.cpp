#include "platform/qt/QtMessagePrompt.h"

#include <QMessageBox>
#include <QString>

#include <string>

namespace kiv {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

int Ask(QWidget* parent, QMessageBox::Icon icon, const std::string& caption, const std::string& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
        QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, FromUtf8(caption), FromUtf8(text), buttons, parent);
    box.setObjectName(TQtMessagePrompt::kBoxObjectName);
    // Texts carry server and file names: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    // Closing the box by the window system or Escape is the cautious answer.
    box.setEscapeButton(escapeButton);
    return box.exec();
}

}  // namespace

TPromptAnswer TQtMessagePrompt::AskOkCancel(const std::string& caption, const std::string& text) {
    const int answer = Ask(parent_, QMessageBox::Critical, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                           QMessageBox::Ok, QMessageBox::Cancel);
    return answer == QMessageBox::Ok ? TPromptAnswer::Ok : TPromptAnswer::Cancel;
}

bool TQtMessagePrompt::AskYesNo(const std::string& caption, const std::string& text) {
    const int answer = Ask(parent_, QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                           QMessageBox::Yes, QMessageBox::No);
    return answer != QMessageBox::No;
}

}  // namespace kiv
