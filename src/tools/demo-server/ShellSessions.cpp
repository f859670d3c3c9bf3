#include "tools/demo-server/ShellSessions.h"

namespace kiv::demo {

bool TShellSessions::ClaimReconnectDrop() {
    std::lock_guard lock(mutex_);
    if (reconnectDropClaimed_) return false;
    reconnectDropClaimed_ = true;
    return true;
}

void TShellSessions::Park(std::uint32_t logonId, TParkedSession session) {
    std::lock_guard lock(mutex_);
    parked_[logonId] = std::move(session);
}

std::optional<TParkedSession> TShellSessions::Resume(std::uint32_t logonId) {
    std::lock_guard lock(mutex_);
    const auto it = parked_.find(logonId);
    if (it == parked_.end()) return std::nullopt;
    TParkedSession session = std::move(it->second);
    parked_.erase(it);
    return session;
}

}  // namespace kiv::demo
