#pragma once
// Gives up on a connect sequence that takes too long. The library's connect call
// blocks without an overall time limit (a server that accepts TCP and never
// answers holds it for over a minute), so a thread of its own watches the clock
// and calls the given action once when the time is up. Time the user spends on a
// certificate question does not count (Pause/Resume).
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kiv {

class TConnectWatchdog {
public:
    explicit TConnectWatchdog(std::function<void()> onExpired);
    ~TConnectWatchdog();
    TConnectWatchdog(const TConnectWatchdog&) = delete;
    TConnectWatchdog& operator=(const TConnectWatchdog&) = delete;

    void Arm(std::chrono::milliseconds timeout);
    void Pause();
    void Resume();
    // Stops watching; returns once the watching thread has ended.
    void Disarm();
    bool Expired() const;

private:
    void Watch();

    std::function<void()> onExpired_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    std::chrono::steady_clock::time_point deadline_;
    std::chrono::steady_clock::time_point pausedAt_;
    bool paused_ = false;
    bool stop_ = false;
    bool expired_ = false;
};

}  // namespace kiv
