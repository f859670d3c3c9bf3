#include "platform/qt/FrameGlyphs.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kiv {

namespace {

// Drawn on a 16-unit grid, scaled to the size asked for.
void Draw(QPainter& p, TToolbarGlyph glyph, const QColor& color, bool pressed) {
    QPen pen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
        case TToolbarGlyph::Pin:
            if (pressed) {
                // Pushed in: upright, the needle down.
                p.drawRect(QRectF(5.5, 2.5, 5, 6));
                p.drawLine(QPointF(3.5, 8.5), QPointF(12.5, 8.5));
                p.drawLine(QPointF(8, 8.5), QPointF(8, 14));
            } else {
                // Lying on its side: the toolbar is free to go.
                p.drawRect(QRectF(2.5, 5.5, 6, 5));
                p.drawLine(QPointF(8.5, 3.5), QPointF(8.5, 12.5));
                p.drawLine(QPointF(8.5, 8), QPointF(14, 8));
            }
            break;
        case TToolbarGlyph::Devices: {
            // A plug: body, two prongs, the cable.
            p.drawRoundedRect(QRectF(4.5, 5.5, 7, 5.5), 1, 1);
            p.drawLine(QPointF(6.5, 2.5), QPointF(6.5, 5.5));
            p.drawLine(QPointF(9.5, 2.5), QPointF(9.5, 5.5));
            QPainterPath cable(QPointF(8, 11));
            cable.cubicTo(QPointF(8, 14), QPointF(11, 13), QPointF(12.5, 14.5));
            p.drawPath(cable);
            break;
        }
        case TToolbarGlyph::Minimize:
            p.drawLine(QPointF(3.5, 12), QPointF(12.5, 12));
            break;
        case TToolbarGlyph::Maximize:
            p.drawRect(QRectF(3, 3.5, 10, 9));
            p.drawLine(QPointF(3, 5), QPointF(13, 5));
            break;
        case TToolbarGlyph::Close:
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
            break;
    }
}

QPixmap Picture(TToolbarGlyph glyph, const QColor& color, int size, bool pressed) {
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(static_cast<int>(size * ratio), static_cast<int>(size * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    Draw(painter, glyph, color, pressed);
    return pixmap;
}

}  // namespace

QIcon ToolbarGlyph(TToolbarGlyph glyph, const QColor& color, int size) {
    QIcon icon(Picture(glyph, color, size, false));
    if (glyph == TToolbarGlyph::Pin) icon.addPixmap(Picture(glyph, color, size, true), QIcon::Normal, QIcon::On);
    return icon;
}

}  // namespace kiv
