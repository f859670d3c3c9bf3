#pragma once
// Timers of the GUI thread. A timer repeats until stopped, like the session
// window's timers always have; a handler that wants one shot stops it. Tests use
// a manual clock that fires timers when the test advances time.
#include <chrono>
#include <functional>
#include <memory>

namespace kiv {

class ITimer {
public:
    virtual ~ITimer() = default;
    // (Re)starts with this interval; the handler runs on the GUI thread.
    virtual void Start(int intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
};

class ITimerFactory {
public:
    virtual ~ITimerFactory() = default;
    virtual std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTimeout) = 0;
    // The local wall clock (reconnection limits are measured on it).
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

}  // namespace kiv
