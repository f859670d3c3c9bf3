#pragma once
// The local side of the seamless windows: the invisible taskbar windows that
// carry a taskbar button for a server window, and the windows whose shape
// follows the union of the server windows' areas (the session window and the
// input-method window over it). Decisions live in the seamless handler; an
// adapter only creates, shapes and reports.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

// An icon's pixels: width x height values 0xAARRGGBB (not premultiplied), rows
// top-down.
struct TIconImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// A taskbar window as the handler knows it: never 0 for a live window.
using TTaskbarHandle = uint64_t;

// What a taskbar window reports, in the vocabulary of the handler's window
// procedure (the numbers are those of the classic window messages, so the
// handler's table reads as it always has).
enum TTaskbarMessage : uint32_t {
    kTaskbarDestroy = 0x0002,
    kTaskbarSize = 0x0005,           // wParam: kSizeRestored, kSizeMinimized, kSizeMaximized
    kTaskbarActivate = 0x0006,       // wParam: low word kActivateInactive/Active/ClickActive, high word 1 when minimized
    kTaskbarClose = 0x0010,          // a close request from outside (the panel's "close")
    kTaskbarEndSession = 0x0016,     // the desktop session ends
    kTaskbarSettingChange = 0x001A,  // wParam kSettingWorkArea: the work area changed
    kTaskbarKeyDown = 0x0100,        // wParam: the key
    kTaskbarSysCommand = 0x0112,
    kTaskbarInitMenuPopup = 0x0117,
    kTaskbarExitMenuLoop = 0x0212,   // the window menu is over
    kTaskbarMenuRequest = 0x0313,
    kTaskbarAfterMenuShow = 0x0499,  // the window menu was asked for ("WM_AFTERMENUSHOW")
};

inline constexpr uint64_t kSizeRestored = 0;
inline constexpr uint64_t kSizeMinimized = 1;
inline constexpr uint64_t kSizeMaximized = 2;
inline constexpr uint64_t kActivateInactive = 0;
inline constexpr uint64_t kActivateActive = 1;
inline constexpr uint64_t kActivateClickActive = 2;
inline constexpr uint64_t kSettingWorkArea = 0x2F;
// Beside the activation state: this activation is the one ForceForegroundWindow
// asked for, not the user's.
inline constexpr uint64_t kActivateRequested = uint64_t{1} << 32;

class ITaskbarWindowEvents {
public:
    virtual ~ITaskbarWindowEvents() = default;
    // GUI thread. The window may be destroyed by the handler from inside this call.
    virtual void OnTaskbarMessage(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t lParam) = 0;
};

class ITaskbarWindows {
public:
    virtual ~ITaskbarWindows() = default;
    virtual void SetEventSink(ITaskbarWindowEvents* sink) = 0;

    // A window of its own class (className, e.g. "TKiv1234"; a class of that
    // name left from before is dropped first) that shows nothing but has a
    // taskbar button with this title and icon. It is shown at once, without
    // taking the focus. 0 when it cannot be made.
    virtual TTaskbarHandle CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                               const std::u16string& title) = 0;
    // Destroys the window and drops its class. Unknown handles are ignored.
    virtual void DestroyTaskbarWindow(TTaskbarHandle window) = 0;
    virtual bool WindowExists(TTaskbarHandle window) const = 0;

    virtual void SetTitle(TTaskbarHandle window, const std::u16string& title) = 0;
    // The server window's place on the screen: the window stays invisible there,
    // so whatever outlines a task (a task switcher's frame) outlines the server window.
    virtual void SetWindowRect(TTaskbarHandle window, const TRect& rect) = 0;
    virtual void ShowTaskbarWindow(TTaskbarHandle window) = 0;
    virtual void HideTaskbarWindow(TTaskbarHandle window) = 0;
    // False when there is no such window.
    virtual bool MinimizeTaskbarWindow(TTaskbarHandle window) = 0;
    // The window holds the activation now.
    virtual bool IsActiveWindow(TTaskbarHandle window) const = 0;
    // Restores a minimized window and asks for it to become the active window by
    // every means the desktop allows, without waiting for the answer; answers
    // whether it is the active window already. The activation that follows is
    // reported with kActivateRequested.
    virtual bool ForceForegroundWindow(TTaskbarHandle window) = 0;

    // Activates the window a task switcher shows after this one: the next below
    // it in the stacking order that is shown and has a taskbar button of its own
    // (not one of these taskbar windows).
    virtual void SwitchToNextTaskWindow(TTaskbarHandle window) = 0;

    // The mouse cursor in screen pixels.
    virtual void CursorPos(int32_t& x, int32_t& y) const = 0;
};

// Compressed icon images (PNG inside an icon file) are the adapter's to decode;
// everything else of an icon file the core reads itself. The bytes are exactly
// one image's; the answer is nullopt for anything that is not one.
class IIconImageDecoder {
public:
    virtual ~IIconImageDecoder() = default;
    virtual std::optional<TIconImage> DecodePng(std::span<const uint8_t> bytes) const = 0;
};

// The windows the seamless clipping shapes. Regions are disjoint rectangles in
// the window's own pixels (the session window covers the screen from 0,0).
class ISeamlessSurface {
public:
    virtual ~ISeamlessSurface() = default;
    virtual void SetSessionRegion(const std::vector<TRect>& region) = 0;
    // Ignored while there is no input-method window.
    virtual void SetImeRegion(const std::vector<TRect>& region) = 0;
    // A taskbar window was activated: the session window comes back (restored,
    // shown again after the desktop was shown), forward and active, and the
    // input-method window (when there is one) takes the keyboard focus.
    virtual void ActivateSessionWindow() = 0;
    // The primary screen's size in pixels (x and y are 0).
    virtual TRect PrimaryScreen() const = 0;
};

}  // namespace kiv
