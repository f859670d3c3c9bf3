#pragma once
// What the server shell asks about the local desktop: where the panel and its
// notification area are, and the work area the session may use.
#include <optional>

#include "ports/RemoteDisplay.h"  // TRect

namespace kiv {

enum class TTaskbarEdge { Left = 0, Top = 1, Right = 2, Bottom = 3 };

class IDesktopFacts {
public:
    virtual ~IDesktopFacts() = default;
    // The edge the panel sits at, when there is a panel.
    virtual std::optional<TTaskbarEdge> TaskbarEdge() const = 0;
    // The notification area's screen rectangle, when there is one.
    virtual std::optional<TRect> NotifyAreaRect() const = 0;
    // The primary monitor's work area (the screen less the panels).
    virtual TRect PrimaryWorkArea() const = 0;
    // The screen area the session occupies in a monitor mode (1 first monitor,
    // 2 second monitor, 3 first and second side by side).
    virtual TRect MonitorArea(int monitorMode) const = 0;
};

}  // namespace kiv
