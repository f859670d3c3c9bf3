#pragma once
// For the end-to-end tests, beside TMessageBoxRecorder: with $KIV_TEST_MESSAGE_LOG
// set, every question is appended to the same file as a JSON line
// ({"caption","text","icon","buttons"}) and, after being shown for a moment, closed
// the way Escape closes it (Cancel, No), so an unattended run goes on.
#include <string>

#include "ports/MessagePrompt.h"

namespace kiv {

class TMessagePromptRecorder final : public IMessagePrompt {
public:
    TMessagePromptRecorder(IMessagePrompt& shown, std::string logFile) : shown_(shown), logFile_(std::move(logFile)) {}
    TPromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;

private:
    void Record(const std::string& caption, const std::string& text, int icon, const char* buttons);

    IMessagePrompt& shown_;
    std::string logFile_;
};

}  // namespace kiv
