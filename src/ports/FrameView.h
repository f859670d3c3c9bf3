#pragma once
// The frame around a whole remote desktop: the desktop panel with its thin
// resize border, the toolbar (pin, title, device menu, minimise, maximise,
// close) and the device menu. The view draws and reports; the frame's logic
// decides where the toolbar goes, which border zone does what, and what the
// buttons mean.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

enum class TToolbarDock {
    Top,       // docked above the desktop panel (windowed modes)
    Floating,  // over the desktop, dropped down from the top edge (full screen)
    Hidden,
};

// The buttons' tooltips, UTF-8.
struct TToolbarHints {
    std::string hold, menu, minimize, maximize, close;
};

struct TToolbarLayout {
    TToolbarDock dock = TToolbarDock::Hidden;
    // Floating: the toolbar's rectangle in the window. Docked: the height (the
    // toolbar spans the window's width at its top).
    TRect rect;
    bool panelBorders = false;    // the toolbar's own edge on all four sides
    int32_t desktopMargin = 0;    // the desktop panel's inner margin on every side
    int32_t borderPenWidth = 0;   // the desktop panel's border line; 0: none
    std::string caption;          // the title, UTF-8
    TToolbarHints hints;
};

enum class TFrameCursor { Arrow, SizeNWSE, SizeNESW, SizeWE, SizeNS };

// Edges of a resize by the window manager.
enum TResizeEdge : uint32_t {
    kResizeLeft = 1,
    kResizeTop = 2,
    kResizeRight = 4,
    kResizeBottom = 8,
};

struct TDeviceMenuItem {
    std::string caption;  // UTF-8
    bool checked = false;
};

// What the user does to the frame. Coordinates are pixels of the named part.
class IFrameEvents {
public:
    virtual ~IFrameEvents() = default;
    virtual void OnBtnMinClick() = 0;
    virtual void OnBtnMaxClick() = 0;
    virtual void OnBtnCloseClick() = 0;
    virtual void OnBtnMenuClick() = 0;
    virtual void OnDeviceMenuItemClick(std::size_t index) = 0;
    virtual void OnToolbarDoubleClick() = 0;
    // The left button went down on the toolbar itself (not on a button) and the
    // pointer drags from there; toolbar pixels of the press.
    virtual void OnToolbarMouseDown(int32_t x, int32_t y) = 0;
    // The pointer over the desktop panel's uncovered border, panel pixels.
    virtual void OnPanelMouseMove(int32_t x, int32_t y) = 0;
    virtual void OnPanelMouseDown(int32_t x, int32_t y) = 0;
    // The pointer moved anywhere over the window, window pixels (the moment the
    // window sets its cursor).
    virtual void OnWindowPointer(int32_t x, int32_t y) = 0;
    // The desktop panel has a new size.
    virtual void OnDesktopPanelResize() = 0;
};

class IFrameView {
public:
    virtual ~IFrameView() = default;
    virtual void SetFrameEvents(IFrameEvents* events) = 0;

    virtual void ApplyToolbarLayout(const TToolbarLayout& layout) = 0;
    // The toolbar's rectangle in the window.
    virtual TRect ToolbarRect() const = 0;
    // Moves the floating toolbar to this top edge (negative: hidden above the
    // window); raise brings it in front of the desktop first.
    virtual void SetToolbarTop(int32_t top, bool raise) = 0;
    virtual bool HoldChecked() const = 0;

    virtual TRect WindowRect() const = 0;
    virtual TRect PanelRect() const = 0;  // the desktop panel, in the window
    virtual TRect ViewRect() const = 0;   // the remote desktop inside the panel
    virtual bool WindowStateNormal() const = 0;
    virtual void SetWindowMaximized(bool maximized) = 0;
    virtual void MinimizeWindow() = 0;

    virtual void SetPanelCursor(TFrameCursor cursor) = 0;
    // The window manager moves / resizes the window with the pointer (the
    // button that is down stays the window manager's until released).
    virtual void StartSystemMove() = 0;
    virtual void StartSystemResize(uint32_t edges) = 0;
    // A mouse button is down anywhere (the window manager may still be resizing).
    virtual bool PointerButtonDown() const = 0;

    // Opens the device menu under its button; a choice comes back as
    // OnDeviceMenuItemClick with the item's position in this list.
    virtual void ShowDeviceMenu(const std::vector<TDeviceMenuItem>& items) = 0;
    virtual bool DeviceMenuOpen() const = 0;

    // Centres the window, keeping its size, in that monitor's work area; an
    // index outside the monitor list does nothing.
    virtual void CenterOnMonitor(int index) = 0;
    // The remote desktop should take the view's size (the server may refuse:
    // the view then scales the desktop into itself).
    virtual void FollowViewSize() = 0;
};

}  // namespace kiv
