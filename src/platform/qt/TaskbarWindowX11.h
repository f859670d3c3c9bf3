#pragma once
// What the taskbar windows need of X11 beyond Qt: a window class per window,
// and activation the way a pager asks for it (window managers refuse focus
// requests of applications that show windows without activating them, but
// follow the panel).
#include <chrono>
#include <cstdint>
#include <set>
#include <string>

class QWindow;

namespace kiv {

// WM_CLASS instance and class name of a window that exists but is not shown yet.
void SetWindowClass(QWindow& window, const std::string& className);
// An EWMH window manager runs (the root names its check window).
bool HaveWindowManager();
// The root's _NET_ACTIVE_WINDOW; 0 when there is none or no X connection.
uint32_t ActiveWindowId();
// Waits (at most timeout) until the window manager manages the window, asks it
// with source indication 2 to activate the window, and waits (at most timeout
// again) until it is the active window. Answers whether it is.
bool ActivateAsPager(QWindow& window, std::chrono::milliseconds timeout);
// Asks the window manager (as a task switcher) to activate the first window
// below this one in the stacking order that is shown, has a taskbar button and
// is not among skipped. Answers its id, 0 when there is none.
uint32_t ActivateNextTaskWindow(uint32_t windowId, const std::set<uint32_t>& skipped);

}  // namespace kiv
