#include "platform/freerdp/GuiPoster.h"

namespace kiv {

TGuiPoster::TGuiPoster(IMainLoop& loop, ISessionObserver& observer)
    : loop_(loop), observer_(&observer), alive_(std::make_shared<std::atomic<bool>>(true)) {}

void TGuiPoster::Post(std::function<void(ISessionObserver&)> task) {
    if (!alive_->load()) return;
    // The task carries the flag and the observer, never the connection: the
    // connection may be gone by the time the GUI thread gets to it.
    loop_.Post([alive = alive_, observer = observer_, task = std::move(task)] {
        if (alive->load()) task(*observer);
    });
}

void TGuiPoster::Cancel() { alive_->store(false); }

}  // namespace kiv
