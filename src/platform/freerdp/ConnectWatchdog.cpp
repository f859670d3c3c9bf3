#include "platform/freerdp/ConnectWatchdog.h"

#include "platform/freerdp/WorkerThreadSignals.h"

namespace kiv {

TConnectWatchdog::TConnectWatchdog(std::function<void()> onExpired) : onExpired_(std::move(onExpired)) {}

TConnectWatchdog::~TConnectWatchdog() { Disarm(); }

void TConnectWatchdog::Arm(std::chrono::milliseconds timeout) {
    Disarm();
    {
        std::lock_guard lock(mutex_);
        deadline_ = std::chrono::steady_clock::now() + timeout;
        paused_ = false;
        stop_ = false;
        expired_ = false;
    }
    thread_ = std::thread([this] {
        BlockBrokenPipeSignal();
        Watch();
    });
}

void TConnectWatchdog::Pause() {
    std::lock_guard lock(mutex_);
    if (paused_) return;
    paused_ = true;
    pausedAt_ = std::chrono::steady_clock::now();
}

void TConnectWatchdog::Resume() {
    {
        std::lock_guard lock(mutex_);
        if (!paused_) return;
        paused_ = false;
        deadline_ += std::chrono::steady_clock::now() - pausedAt_;
    }
    changed_.notify_all();
}

void TConnectWatchdog::Disarm() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool TConnectWatchdog::Expired() const {
    std::lock_guard lock(mutex_);
    return expired_;
}

void TConnectWatchdog::Watch() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop_) return;
        if (paused_) {
            changed_.wait(lock);
            continue;
        }
        const auto deadline = deadline_;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !stop_ && !paused_ &&
            deadline_ == deadline) {
            expired_ = true;
            lock.unlock();
            onExpired_();
            return;
        }
    }
}

}  // namespace kiv
