#include "platform/qt/TaskbarWindowClip.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include <vector>

namespace kiv {

QRegion TQtSeamlessSurface::ToRegion(const std::vector<TRect>& region) {
    std::vector<QRect> rects;
    rects.reserve(region.size());
    for (const TRect& r : region)
        if (r.width > 0 && r.height > 0) rects.emplace_back(r.x, r.y, r.width, r.height);
    if (rects.empty()) return QRegion(-1, -1, 1, 1);
    // The rectangles come as y-x bands already: the region takes them in one go.
    QRegion shape;
    shape.setRects(rects.data(), static_cast<int>(rects.size()));
    return shape;
}

void TQtSeamlessSurface::SetSessionRegion(const std::vector<TRect>& region) {
    if (session_) session_->setMask(ToRegion(region));
}

void TQtSeamlessSurface::SetImeRegion(const std::vector<TRect>& region) {
    if (ime_) ime_->setMask(ToRegion(region));
}

void TQtSeamlessSurface::ActivateSessionWindow() {
    if (session_) {
        session_->raise();
        session_->activateWindow();
    }
    if (ime_) ime_->setFocus(Qt::ActiveWindowFocusReason);
}

TRect TQtSeamlessSurface::PrimaryScreen() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return TRect{};
    const QRect g = screen->geometry();
    return TRect{0, 0, g.width(), g.height()};
}

}  // namespace kiv
