#pragma once
// What a tunnel reports while it comes up and goes down, for diagnostics (the
// proxy check of kivtool shows these steps).
#include <cstdint>
#include <functional>
#include <string>

namespace kiv {

struct TProxyStep {
    std::uint64_t tunnel = 0;  // the mapper's local connections are numbered from 1
    // "accept", "resolve", "connect", "send", "receive", "reconnect", "open",
    // "fail", "close"
    std::string step;
    std::string detail;        // printable ASCII
};

// Called on the mapper's own thread: it must not block and must not call back
// into the mapper's SetActive.
using TProxyStepObserver = std::function<void(const TProxyStep&)>;

}  // namespace kiv
