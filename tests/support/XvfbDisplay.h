#pragma once
// A private X server for one test: Xvfb picks a free display number itself and
// reports it on a pipe, so parallel tests never collide on a fixed number.
#include <sys/types.h>

#include <string>

namespace kiv::test {

class XvfbDisplay {
public:
    // screen: Xvfb's "-screen 0" geometry, e.g. "1024x768x24".
    explicit XvfbDisplay(const std::string& screen);
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool Started() const { return !display_.empty(); }
    // ":N", or empty when the server did not come up.
    const std::string& Display() const { return display_; }
    const std::string& Error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace kiv::test
