#pragma once
// The child half of the remote-session pixel test: connects to a demo server with
// the real control, shows the desktop view on the X display it was started on,
// and saves a screenshot of the whole screen once the desktop has been painted.
#include <QRgb>
#include <QSize>

namespace kiv::test {

inline constexpr const char* kRemoteSessionChildFlag = "--kiv-remote-session-child";

// The demo server's documented desktop: one colour, with a lighter one-pixel grid
// on every x and y that is a multiple of 64.
inline constexpr QRgb kDemoDesktopColour = 0xFF2E5C8A;  // "demo blue"
inline constexpr QRgb kDemoGridColour = 0xFF577CA1;
inline constexpr int kDemoGridSpacing = 64;

// Whether this build has the control the child needs.
bool RemoteSessionChildAvailable();
// The desktop size the child asks the server for; the view shows it at 0,0.
QSize RemoteSessionDesktopSize();

bool IsRemoteSessionChild(int argc, char** argv);
// argv: FLAG PORT SCREENSHOT_PATH WORK_FOLDER. Exit code 0 once the screenshot
// shows the colour; otherwise the screenshot (if any) is still saved.
int RunRemoteSessionChild(int argc, char** argv);

}  // namespace kiv::test
