#include "platform/freerdp/CertificateGate.h"

namespace kiv {

void TCertificateGate::TAnswer::Set(bool value) {
    {
        std::lock_guard lock(mutex);
        if (accepted) return;  // the first word counts: a cancel beats a late "yes"
        accepted = value;
    }
    ready.notify_all();
}

bool TCertificateGate::Ask(const TCertificateQuestion& question, TGuiPoster& poster) {
    auto answer = std::make_shared<TAnswer>();
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return false;
        pending_ = answer;
    }
    poster.Post([answer, question](ISessionObserver& observer) {
        bool accepted = false;
        try {
            accepted = observer.OnSessionCertificateQuestion(question);
        } catch (...) {
            accepted = false;
        }
        answer->Set(accepted);
    });
    bool accepted = false;
    {
        std::unique_lock lock(answer->mutex);
        answer->ready.wait(lock, [&] { return answer->accepted.has_value(); });
        accepted = *answer->accepted;
    }
    std::lock_guard lock(mutex_);
    if (pending_ == answer) pending_.reset();
    return accepted && !cancelled_;
}

void TCertificateGate::Cancel() {
    std::shared_ptr<TAnswer> pending;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        pending = pending_;
    }
    if (pending) pending->Set(false);
}

}  // namespace kiv
