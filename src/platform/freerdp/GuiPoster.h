#pragma once
// Posts work for the GUI thread on behalf of one connection. Once Cancel() has
// run (on the GUI thread, when the control lets the connection go) tasks that are
// still queued find the flag down and do nothing, so nothing reaches an observer
// that may no longer exist.
#include <atomic>
#include <functional>
#include <memory>

#include "ports/MainLoop.h"
#include "platform/freerdp/SessionObserver.h"

namespace kiv {

class TGuiPoster {
public:
    TGuiPoster(IMainLoop& loop, ISessionObserver& observer);

    // Any thread.
    void Post(std::function<void(ISessionObserver&)> task);
    // GUI thread.
    void Cancel();
    bool Cancelled() const { return !alive_->load(); }

private:
    IMainLoop& loop_;
    ISessionObserver* observer_;
    std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace kiv
