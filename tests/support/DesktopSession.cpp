#include "support/DesktopSession.h"

namespace kiv::test {

namespace {

constexpr auto kWindowManagerLimit = std::chrono::seconds(20);

ChildProcess::Options DesktopOptions(const std::map<std::string, std::string>& env, const std::filesystem::path& log) {
    ChildProcess::Options options;
    options.env = env;
    options.unsetEnv = {"SESSION_MANAGER"};
    options.stdoutFile = "/dev/null";
    options.stderrFile = log.string();
    return options;
}

}  // namespace

DesktopSession::DesktopSession(const std::string& screen) : display_(screen) {}

DesktopSession::~DesktopSession() {
    panel_.reset();
    windowManager_.reset();
}

bool DesktopSession::StartDesktop(const std::map<std::string, std::string>& additions,
                                  const std::filesystem::path& logFolder) {
    if (!Started()) return false;
    env_ = additions;
    env_["DISPLAY"] = Display();
    logFolder_ = logFolder;
    windowManager_ = std::make_unique<ChildProcess>();
    if (!windowManager_->Start({"/usr/bin/openbox", "--sm-disable"}, DesktopOptions(env_, logFolder_ / "openbox.log")))
        return false;
    if (!WaitFor([&] { return WindowManagerReady(); }, kWindowManagerLimit)) return false;
    return StartPanel();
}

bool DesktopSession::StartPanel(const std::vector<std::string>& arguments) {
    if (!Started()) return false;
    std::vector<std::string> argv{"/usr/bin/tint2"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    panel_ = std::make_unique<ChildProcess>();
    return panel_->Start(argv, DesktopOptions(env_, logFolder_ / "tint2.log"));
}

void DesktopSession::StopPanel(int signal) {
    if (!panel_ || !panel_->Started()) return;
    panel_->Stop(signal, std::chrono::seconds(5));
    panel_.reset();
}

// A window manager that took the display names its check window on the root.
bool DesktopSession::WindowManagerReady() {
    ChildProcess::Options options;
    options.env = env_;
    options.stderrFile = "/dev/null";
    ChildProcess xprop;
    if (!xprop.Start({"/usr/bin/xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, options)) return false;
    const auto line = xprop.ReadLine(std::chrono::seconds(5));
    return line && line->find("window id") != std::string::npos;
}

}  // namespace kiv::test
