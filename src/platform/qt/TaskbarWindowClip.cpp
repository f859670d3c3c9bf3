#include "platform/qt/TaskbarWindowClip.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include <vector>

#include "platform/qt/TaskbarWindowX11.h"
#include "platform/qt/X11Atoms.h"

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

void TQtSeamlessSurface::Reshape(QWidget& window, const std::vector<TRect>& region) {
    const QRegion before = window.mask();
    const QRegion after = ToRegion(region);
    window.setMask(after);
    // What was outside the shape was never painted while it was: the view's copy
    // of the desktop is drawn there now, not when the server paints it again.
    const QRegion uncovered = before.isEmpty() ? after : after - before;
    if (!uncovered.isEmpty()) window.update(uncovered);
}

void TQtSeamlessSurface::SetSessionRegion(const std::vector<TRect>& region) {
    if (session_) Reshape(*session_, region);
}

void TQtSeamlessSurface::SetImeRegion(const std::vector<TRect>& region) {
    if (ime_) Reshape(*ime_, region);
}

void TQtSeamlessSurface::ActivateSessionWindow() {
    if (session_) {
        if (session_->isMinimized()) session_->showNormal();
        if (OnX11() && session_->isVisible() && !WindowViewable(static_cast<uint32_t>(session_->winId()))) {
            // Hidden by the window manager and not brought back by it: openbox hides
            // every window for "show desktop" and, when a task button ends it, shows
            // that task alone and minimises the others, which a window that cannot
            // be minimised escapes by staying hidden. Mapped anew, it is managed
            // afresh and shown.
            session_->hide();
            SetSkipTaskbar(*session_->windowHandle());
            SetCloseOnlyFunctions(*session_->windowHandle());
            session_->show();
        }
        session_->raise();
        // As the panel asks for the taskbar windows: the window manager brings the
        // window back from "show desktop" too, where an application's own request
        // is refused or only marks the window as wanting attention.
        if (OnX11() && HaveWindowManager()) AskToActivateAsPager(static_cast<uint32_t>(session_->winId()));
        else session_->activateWindow();
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
