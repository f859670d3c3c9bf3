#pragma once
// Timers that fire when the test says time has passed: deterministic, no sleeps.
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "ports/Timer.h"

namespace kiv::test {

class ManualClock : public ITimerFactory {
public:
    std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTimeout) override;
    std::chrono::system_clock::time_point Now() const override { return now_; }

    // Moves time forward, firing every timer that falls due, in time order.
    void Advance(int milliseconds);
    int ActiveTimers() const;

private:
    struct Entry {
        std::function<void()> handler;
        int interval = 0;
        std::chrono::system_clock::time_point due;
        bool active = false;
        bool alive = true;
    };
    class Timer;
    std::vector<std::shared_ptr<Entry>> entries_;
    std::chrono::system_clock::time_point now_{std::chrono::hours(24 * 365 * 50)};
};

}  // namespace kiv::test
