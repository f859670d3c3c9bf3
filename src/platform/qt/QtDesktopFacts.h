#pragma once
// The local desktop as the server shell asks about it: the panel's edge (from
// the primary screen's work area), the notification area (the X11 tray owner)
// and the monitors.
#include "ports/DesktopFacts.h"

namespace kiv {

class TQtDesktopFacts final : public IDesktopFacts {
public:
    std::optional<TTaskbarEdge> TaskbarEdge() const override;
    std::optional<TRect> NotifyAreaRect() const override;
    TRect PrimaryWorkArea() const override;
    TRect MonitorArea(int monitorMode) const override;
};

}  // namespace kiv
