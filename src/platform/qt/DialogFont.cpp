#include "platform/qt/DialogFont.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <charconv>
#include <string>

#include "infra/LanguageStyle.h"

namespace kiv {

namespace {

constexpr int kDefaultSize = 9;
// Far beyond any dialog's use: a size past this is a slip of the translator.
constexpr int kLargestSize = 72;

}  // namespace

int DialogFontSize(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int size = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, size);
    if (text.empty() || error != std::errc() || stop != end) return kDefaultSize;
    // Qt has no use for sizes of zero or below; they would draw nothing readable.
    if (size <= 0 || size > kLargestSize) return kDefaultSize;
    return size;
}

QFont DialogFont() {
    QFont font = QApplication::font();
    const TLanguageStyle* style = LanguageStyle();
    const std::string name = style ? style->GetFont("Name") : std::string();
    const std::string size = style ? style->GetFont("size") : std::string();
    // The character set needs no setting: every face is asked for Unicode text.
    if (!name.empty()) font.setFamilies({QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))});
    font.setPointSize(DialogFontSize(size));
    return font;
}

void ApplyDialogFont(QWidget* dialog, const QFont& font) {
    dialog->setFont(font);
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(child) || qobject_cast<QLineEdit*>(child) || qobject_cast<QAbstractButton*>(child) ||
            qobject_cast<QComboBox*>(child) || qobject_cast<QPlainTextEdit*>(child) || qobject_cast<QTextEdit*>(child)) {
            // Keep what a component set for itself (a link's underline, a bold caption).
            QFont own = child->font();
            own.setFamilies(font.families());
            own.setPointSize(font.pointSize());
            child->setFont(own);
        }
    }
}

}  // namespace kiv
