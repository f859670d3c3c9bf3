#pragma once
// The part of a widget's paint region its top-level window's shape lets through.
// What the shape cuts away is never seen: left unpainted, the window's backing
// store keeps no memory pages for it (a seamless session shows only the
// server's windows out of a screen-sized window). A window without a shape
// shows the whole region.
#include <QRegion>
#include <QWidget>

namespace kiv {

inline QRegion InsideWindowShape(const QWidget& widget, const QRegion& region) {
    const QRegion shape = widget.window()->mask();
    if (shape.isEmpty()) return region;
    return region & shape.translated(-widget.mapTo(widget.window(), QPoint(0, 0)));
}

}  // namespace kiv
