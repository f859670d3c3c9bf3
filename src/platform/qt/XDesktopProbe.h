#pragma once
// What the X display offers this client, asked over a connection of its own (no
// Qt): whether there is a display at all, whether it is XWayland, which window
// manager runs and whether a notification area (XEmbed tray) has an owner.
#include <string>

namespace kiv {

// Empty when the display named by $DISPLAY can be opened; otherwise why not, in
// one line for the terminal.
std::string XDisplayProblem();

struct TXDesktopFacts {
    bool reachable = false;
    std::string display;        // $DISPLAY
    std::string problem;        // why it is not reachable
    bool xwayland = false;      // the server is XWayland on a Wayland desktop
    std::string windowManager;  // _NET_WM_NAME of the EWMH check window, empty when none
    bool panel = false;         // a top-level window of the dock type (a panel) exists
    bool xembedTray = false;    // _NET_SYSTEM_TRAY_S<screen> has an owner
};

TXDesktopFacts ProbeXDesktop();

}  // namespace kiv
