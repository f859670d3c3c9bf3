#pragma once
// What the taskbar windows need of X11 beyond Qt: a window class per window,
// and activation the way a pager asks for it (window managers refuse focus
// requests of applications that show windows without activating them, but
// follow the panel).
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
// Asks the window manager with source indication 2 to activate (restore, show,
// raise and focus) the window, on Qt's own connection; nothing waits for the
// answer. The window manager ignores this for a window it does not manage yet.
void AskToActivateAsPager(uint32_t windowId);
// The window manager manages the window (its WM_STATE is set).
bool ManagedByWindowManager(uint32_t windowId);
// The window is mapped and its ancestors too (true when it cannot be asked).
bool WindowViewable(uint32_t windowId);
// The atom WM_STATE, whose appearance on a window says the window manager took it.
uint32_t WmStateAtom();
// _MOTIF_WM_HINTS that leave the window manager nothing but closing the window:
// no moving, resizing, minimising or maximising, no decorations.
void SetCloseOnlyFunctions(QWindow& window);
// Asks the window manager (as a task switcher) to activate the first window
// below this one in the stacking order that is shown, has a taskbar button and
// is not among skipped. Answers its id, 0 when there is none.
uint32_t ActivateNextTaskWindow(uint32_t windowId, const std::set<uint32_t>& skipped);

}  // namespace kiv
