#pragma once
// The few X11 window-manager hints Qt has no API for.
#include <optional>

#include "ports/RemoteDisplay.h"  // TRect

class QWindow;

namespace kiv {

// _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER on a window that is not mapped yet
// (a mapped window is asked through the window manager).
void SetSkipTaskbar(QWindow& window);
// The screen rectangle of the notification area the user sees: the owner of
// _NET_SYSTEM_TRAY_S0 when it is a viewable window, otherwise the icons embedded
// in the panel that owns it, or that panel when it holds no icon yet.
std::optional<TRect> SystemTrayRect();
// The pointer's buttons 1 and 3 are exchanged (a left-handed mouse).
bool PointerButtonsSwapped();
// The X connection exists (xcb platform).
bool OnX11();
// Asks the window manager to activate the desktop's own window (a window of
// type _NET_WM_WINDOW_TYPE_DESKTOP among its clients); false when there is none.
bool ActivateDesktopWindow();

}  // namespace kiv
