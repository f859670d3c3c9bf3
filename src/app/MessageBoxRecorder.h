#pragma once
// For the end-to-end tests: with $KIV_TEST_MESSAGE_LOG set, every message box
// is appended to that file as a JSON line ({"caption","text","icon"}) and, after
// being shown for a moment, answered with OK, so an unattended run goes on.
#include <string>

#include "ports/MessageBoxView.h"

namespace kiv {

class TMessageBoxRecorder final : public IMessageBoxView {
public:
    TMessageBoxRecorder(IMessageBoxView& shown, std::string logFile) : shown_(shown), logFile_(std::move(logFile)) {}
    TMessageBoxResult Show(const TMessageBoxContent& content) override;

private:
    IMessageBoxView& shown_;
    std::string logFile_;
};

}  // namespace kiv
