#pragma once
// A 1920x1080 desktop with its taskbar at the bottom and no tray: the screen
// the receivers that place windows are fuzzed against.
#include "ports/DesktopFacts.h"

namespace kiv::fuzz {

struct FixedDesktop : IDesktopFacts {
    std::optional<TTaskbarEdge> TaskbarEdge() const override { return TTaskbarEdge::Bottom; }
    std::optional<TRect> NotifyAreaRect() const override { return std::nullopt; }
    TRect PrimaryWorkArea() const override { return TRect{0, 0, 1920, 1050}; }
    TRect MonitorArea(int) const override { return TRect{0, 0, 1920, 1080}; }
};

}  // namespace kiv::fuzz
