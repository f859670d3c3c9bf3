#include "platform/qt/QtDesktopFacts.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/qt/SessionWindow.h"
#include "platform/qt/X11Atoms.h"

namespace kiv {

std::optional<TTaskbarEdge> TQtDesktopFacts::TaskbarEdge() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    const QRect all = screen->geometry(), work = screen->availableGeometry();
    // The panel sits where the work area gives way.
    if (work.bottom() < all.bottom()) return TTaskbarEdge::Bottom;
    if (work.top() > all.top()) return TTaskbarEdge::Top;
    if (work.left() > all.left()) return TTaskbarEdge::Left;
    if (work.right() < all.right()) return TTaskbarEdge::Right;
    return std::nullopt;
}

std::optional<TRect> TQtDesktopFacts::NotifyAreaRect() const { return SystemTrayRect(); }

TRect TQtDesktopFacts::PrimaryWorkArea() const {
    const std::vector<TMonitor> monitors = QtMonitors();
    return monitors.empty() ? TRect{0, 0, 1024, 768} : monitors.front().workArea;
}

TRect TQtDesktopFacts::MonitorArea(int monitorMode) const {
    const std::vector<TMonitor> monitors = QtMonitors();
    if (monitors.empty()) return TRect{0, 0, 1024, 768};
    if (monitorMode == 3 && monitors.size() >= 2) {
        const TRect& a = monitors[0].geometry;
        const TRect& b = monitors[1].geometry;
        return TRect{0, 0, a.width + b.width, std::max(a.height, b.height)};
    }
    const std::size_t index = monitorMode == 2 && monitors.size() >= 2 ? 1 : 0;
    return monitors[index].geometry;
}

}  // namespace kiv
