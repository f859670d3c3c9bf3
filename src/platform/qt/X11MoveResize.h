#pragma once
// Before the window manager takes a move or a resize of a top-level window:
// Qt starts both from its own idea of where the window is, and right after the
// window manager placed the window that idea can be stale (the window then
// jumps by that much). This sets Qt's idea to where the X server has the window.
class QWindow;

namespace kiv {

// Nothing without an X connection, or when Qt is right already.
void X11SyncWindowPosition(QWindow& window);

}  // namespace kiv
