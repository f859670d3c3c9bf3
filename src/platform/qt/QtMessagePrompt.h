#pragma once
// The questions of the session as standard message boxes: OK / Cancel with the
// error icon, Yes / No with the question icon. Texts are UTF-8.
#include "ports/MessagePrompt.h"

class QWidget;

namespace kiv {

class TQtMessagePrompt final : public IMessagePrompt {
public:
    // The object name of the box while it is open (tests and accessibility tools
    // find it by this).
    static constexpr const char* kBoxObjectName = "kivMessagePrompt";

    explicit TQtMessagePrompt(QWidget* parent = nullptr) : parent_(parent) {}

    TPromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;

private:
    QWidget* parent_;
};

}  // namespace kiv
