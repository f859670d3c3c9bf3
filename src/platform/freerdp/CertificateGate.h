#pragma once
// Carries a certificate question from the connection's thread, where the library
// asks it, to the GUI thread, where the user answers, and the answer back. The
// asking thread waits; Cancel() (the control is going away, or the user
// disconnects) answers every pending and later question with "refuse" so the
// wait never outlives the control.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "ports/CertificatePrompt.h"
#include "platform/freerdp/GuiPoster.h"

namespace kiv {

class TCertificateGate {
public:
    // Connection thread: true when the user accepted.
    bool Ask(const TCertificateQuestion& question, TGuiPoster& poster);
    // Any thread.
    void Cancel();

private:
    struct TAnswer {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<bool> accepted;
        void Set(bool value);
    };

    std::mutex mutex_;
    bool cancelled_ = false;
    std::shared_ptr<TAnswer> pending_;
};

}  // namespace kiv
