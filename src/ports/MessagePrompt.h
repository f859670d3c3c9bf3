#pragma once
// Questions that need the user's answer before the session can go on.
#include <string>

namespace kiv {

enum class TPromptAnswer { Ok, Cancel, Yes, No };

class IMessagePrompt {
public:
    virtual ~IMessagePrompt() = default;
    // A system box with the error icon and OK / Cancel.
    virtual TPromptAnswer AskOkCancel(const std::string& caption, const std::string& text) = 0;
    // A box with the question icon and Yes / No; true unless the answer is No.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
};

}  // namespace kiv
