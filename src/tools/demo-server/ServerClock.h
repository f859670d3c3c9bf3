#pragma once
// Milliseconds since the server started: the time of transcript lines and of
// the rule engine's schedule.
#include <chrono>
#include <cstdint>

namespace kiv::demo {

class TServerClock {
public:
    TServerClock() : start_(std::chrono::steady_clock::now()) {}
    std::int64_t NowMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kiv::demo
