#pragma once
// A private X display as a user's desktop has it: Xvfb with a window manager
// (openbox) and a panel (tint2). They end with the object, before the display.
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/XvfbDisplay.h"

namespace kiv::test {

class DesktopSession {
public:
    // screen: Xvfb's "-screen 0" geometry, e.g. "1280x800x24".
    explicit DesktopSession(const std::string& screen);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool Started() const { return display_.Started(); }
    const std::string& Display() const { return display_.Display(); }
    const std::string& Error() const { return display_.Error(); }

    // Starts openbox and, once it manages the display, tint2: with these
    // environment additions (DISPLAY added, no session manager), their stderr
    // in logFolder. False when either did not come up.
    bool StartDesktop(const std::map<std::string, std::string>& env, const std::filesystem::path& logFolder);
    bool PanelRunning() const { return panel_ && panel_->Running(); }
    // Ends the panel with this signal (SIGTERM: it tidies up; SIGKILL: it
    // cannot); StartPanel starts a fresh one, with tint2's arguments.
    void StopPanel(int signal);
    bool StartPanel(const std::vector<std::string>& arguments = {});

private:
    bool WindowManagerReady();

    XvfbDisplay display_;
    std::map<std::string, std::string> env_;
    std::filesystem::path logFolder_;
    std::unique_ptr<ChildProcess> windowManager_, panel_;
};

}  // namespace kiv::test
