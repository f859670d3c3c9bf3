#pragma once
// The dialog font of the language file: [font] Name and size. The progress dialog
// and the message box give it to the dialog and to each of its labels, edit
// boxes, buttons, check boxes and combo boxes.
#include <QFont>
#include <string_view>

class QWidget;

namespace kiv {

// The point size written in the language file; 9 when missing or not a number.
int DialogFontSize(std::string_view text);

// The font from the current language file (the application's face when none is named).
QFont DialogFont();

void ApplyDialogFont(QWidget* dialog, const QFont& font);

}  // namespace kiv
