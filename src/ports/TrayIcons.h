#pragma once
// The local notification-area icons that mirror the tray icons of the server's
// applications. The tray handler decides what is shown and what goes back to
// the server; an adapter keeps each icon docked in the desktop's tray, draws
// it, shows its tooltip and reports every mouse button pressed and released on
// it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ports/TaskbarWindows.h"  // TIconImage

namespace kiv {

// A local tray icon as the handler knows it: never 0 for a live icon. It stays
// the same while the adapter docks the icon again (a new tray, a new window).
using TTrayIconKey = uint64_t;

enum class TTrayButton : uint8_t { Left, Right, Middle };

struct TTrayPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Every image of one icon file, in file order. The adapter draws the one that
// best fits the place the tray gives the icon.
struct TTrayIconImage {
    std::vector<TIconImage> images;
};

class ITrayIconEvents {
public:
    virtual ~ITrayIconEvents() = default;
    // GUI thread. The handler may destroy the icon from inside these calls.
    virtual void OnTrayButtonDown(TTrayIconKey icon, TTrayButton button) = 0;
    virtual void OnTrayButtonUp(TTrayIconKey icon, TTrayButton button) = 0;
};

class ITrayIcons {
public:
    virtual ~ITrayIcons() = default;
    virtual void SetEventSink(ITrayIconEvents* sink) = 0;

    // A new icon that shows nothing until it has an image.
    virtual TTrayIconKey CreateTrayIcon() = 0;
    // The icon keeps a copy of the image and is shown with it from now on.
    virtual void SetTrayIconImage(TTrayIconKey icon, const TTrayIconImage& image) = 0;
    // The text shown while the pointer rests on the icon (UTF-8, already cut).
    virtual void SetTrayIconTooltip(TTrayIconKey icon, const std::string& tooltip) = 0;
    // The icon leaves the tray for good. Unknown keys are ignored.
    virtual void DestroyTrayIcon(TTrayIconKey icon) = 0;

    // The pointer in screen pixels; while a button event is being delivered,
    // where the pointer was at that event.
    virtual TTrayPoint CursorPos() const = 0;
    // Makes the desktop's own window (the one that draws the desktop) the
    // active window; false when the desktop has none.
    virtual bool ActivateDesktopWindow() = 0;
    // Raises this program's visible windows above the others.
    virtual void BringApplicationToFront() = 0;
};

// An icon file as the server sends it: the header, the directory and the
// images (bitmaps or PNG). The adapter reads it whole.
class ITrayIconDecoder {
public:
    virtual ~ITrayIconDecoder() = default;
    // Every image the bytes hold, in file order; empty when they hold none.
    virtual std::vector<TIconImage> DecodeIconFile(std::span<const uint8_t> bytes) const = 0;
};

}  // namespace kiv
