#pragma once
// What the user sees of the session window: its shape (region), the white cover
// that hides it while nothing may be shown, its placement and visibility.
#include <string>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

class ISessionWindowView {
public:
    virtual ~ISessionWindowView() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetEmptyRegion() = 0;
    virtual void SetWholeRegion() = 0;
    virtual void SetRegion(const TRect& region) = 0;
    // The white cover panel over the whole window.
    virtual void ShowCover(bool visible) = 0;
    // Placement by display mode and monitor mode.
    virtual void PlaceWindow() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void BringToFront() = 0;
    // Keeps the window off the taskbar (seamless mode: the server's windows get their own entries).
    virtual void SetToolWindowStyle() = 0;
    // The program's icon, for this window and every other, from an icon
    // resource the program carries ("DESK"); false when it cannot be loaded.
    virtual bool SetApplicationIcon(const std::string& resourceName) = 0;
};

// The process around the session window.
class IApplicationControl {
public:
    virtual ~IApplicationControl() = default;
    // Ends the event loop; the shutdown order follows, then the process ends with 0.
    virtual void CloseMainWindow() = 0;
    // Ends the process at once (exit code 0), after the shutdown order.
    virtual void Terminate() = 0;
    // Ends this user's processes of that exact name (the video programs).
    virtual void KillUserProcesses(const std::string& name) = 0;
};

}  // namespace kiv
