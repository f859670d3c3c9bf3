#pragma once
// What a test asks the X server directly: a window's shape as the SHAPE
// extension holds it, and a plain local window of the test's own that reports
// the button presses it gets. The X libraries are loaded at run time, so the
// test binary needs no X link of its own; without them Ready() is false.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "channels/SmlRegion.h"

namespace kiv::test {

class XWindowProbe {
public:
    explicit XWindowProbe(const std::string& display);
    ~XWindowProbe();
    XWindowProbe(const XWindowProbe&) = delete;
    XWindowProbe& operator=(const XWindowProbe&) = delete;

    bool Ready() const { return connection_ != nullptr; }
    const std::string& Error() const { return error_; }

    // The window's bounding (or input) shape, relative to the window.
    std::vector<TSmlRect> Shape(std::uint32_t window, bool input = false);
    // An unmanaged window at the bottom of the stack, painted nowhere, taking
    // button presses; 0 on failure.
    std::uint32_t CreateLocalWindow(int x, int y, int width, int height);
    // Whether a button press reached that window within the time.
    bool WaitButtonPress(std::uint32_t window, std::chrono::milliseconds timeout);

private:
    struct TApi;
    void* xcb_ = nullptr;
    void* shape_ = nullptr;
    TApi* api_ = nullptr;
    void* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::string error_;
};

}  // namespace kiv::test
