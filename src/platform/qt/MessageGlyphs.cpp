#include "platform/qt/MessageGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace kiv {

namespace {

QPixmap Canvas(int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Prepare(QPainter& painter) { painter.setRenderHint(QPainter::Antialiasing); }

// A glossy disc: lighter at the upper left, as the light falls on the icons.
void Disc(QPainter& painter, const QColor& light, const QColor& dark, const QColor& rim) {
    QRadialGradient fill(QPointF(12, 10), 22);
    fill.setColorAt(0.0, light);
    fill.setColorAt(1.0, dark);
    painter.setPen(QPen(rim, 1.2));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2.5, 2.5, 27, 27));
}

void DrawInformation(QPainter& painter) {
    Disc(painter, QColor(0x6f, 0xb0, 0xf5), QColor(0x1a, 0x5f, 0xc0), QColor(0x12, 0x48, 0x96));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(14, 7.5, 4, 4));
    painter.drawRoundedRect(QRectF(14.2, 13.5, 3.6, 11.5), 1.2, 1.2);
}

void DrawWarning(QPainter& painter) {
    QPainterPath triangle;
    triangle.moveTo(16, 3);
    triangle.lineTo(30, 28.5);
    triangle.lineTo(2, 28.5);
    triangle.closeSubpath();
    QLinearGradient fill(0, 3, 0, 29);
    fill.setColorAt(0.0, QColor(0xff, 0xdf, 0x5c));
    fill.setColorAt(1.0, QColor(0xf0, 0xa8, 0x10));
    painter.setPen(QPen(QColor(0xb0, 0x76, 0x00), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPath(triangle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x30, 0x26, 0x10));
    painter.drawRoundedRect(QRectF(14.3, 10.5, 3.4, 10.5), 1.2, 1.2);
    painter.drawEllipse(QRectF(14.2, 22.5, 3.6, 3.6));
}

void DrawError(QPainter& painter) {
    Disc(painter, QColor(0xff, 0x7a, 0x6e), QColor(0xc8, 0x1e, 0x14), QColor(0x8e, 0x14, 0x0d));
    painter.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(11, 11), QPointF(21, 21));
    painter.drawLine(QPointF(21, 11), QPointF(11, 21));
}

void DrawQuestion(QPainter& painter) {
    Disc(painter, QColor(0x6f, 0xb0, 0xf5), QColor(0x1a, 0x5f, 0xc0), QColor(0x12, 0x48, 0x96));
    QPainterPath hook;
    hook.moveTo(11.5, 12.5);
    hook.cubicTo(11.5, 6.5, 20.5, 6.5, 20.5, 12.0);
    hook.cubicTo(20.5, 15.5, 16, 15.5, 16, 19.5);
    painter.setPen(QPen(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(14.2, 22, 3.6, 3.6));
}

}  // namespace

QPixmap MessageIcon(int index, qreal ratio) {
    void (*draw)(QPainter&) = nullptr;
    switch (index) {
        case 0: draw = DrawInformation; break;
        case 1: draw = DrawWarning; break;
        case 2: draw = DrawError; break;
        case 4: draw = DrawQuestion; break;
        default: return QPixmap();
    }
    QPixmap pixmap = Canvas(kMessageIconSize, ratio);
    QPainter painter(&pixmap);
    Prepare(painter);
    draw(painter);
    return pixmap;
}

QPixmap CloseGlyph(const QColor& color, qreal ratio) {
    QPixmap pixmap = Canvas(kCloseGlyphSize, ratio);
    QPainter painter(&pixmap);
    Prepare(painter);
    painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
    painter.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    return pixmap;
}

QPixmap ConnectionGlyph(qreal ratio) {
    QPixmap pixmap = Canvas(kMessageIconSize, ratio);
    QPainter painter(&pixmap);
    Prepare(painter);
    // A screen with a stand, and the signal arcs of a link reaching it.
    QLinearGradient glass(0, 9, 0, 25);
    glass.setColorAt(0.0, QColor(0x5d, 0xa9, 0xe8));
    glass.setColorAt(1.0, QColor(0x1b, 0x5c, 0xa8));
    painter.setPen(QPen(QColor(0x3a, 0x3f, 0x46), 1.5));
    painter.setBrush(glass);
    painter.drawRoundedRect(QRectF(3.5, 9.5, 21, 14), 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3a, 0x3f, 0x46));
    painter.drawRect(QRectF(12, 24, 4, 3));
    painter.drawRoundedRect(QRectF(8, 27, 12, 2.5), 1, 1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x00, 0x34, 0x9a), 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(20, 1, 10, 10), 270 * 16, 90 * 16);
    painter.drawArc(QRectF(16, -3, 18, 18), 270 * 16, 90 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x00, 0x34, 0x9a));
    painter.drawEllipse(QRectF(23, 4, 4, 4));
    return pixmap;
}

}  // namespace kiv
