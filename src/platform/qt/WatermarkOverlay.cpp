#include "platform/qt/WatermarkOverlay.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include "channels/Watermark.h"

namespace kiv {

TWatermarkOverlay::TWatermarkOverlay(QWidget* over, const QString& text)
    : QWidget(over), text_(text), font_(WatermarkFont()) {
    setObjectName("watermark");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(over->rect());
    over->installEventFilter(this);
    raise();
    show();
}

QFont TWatermarkOverlay::WatermarkFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSize(kWatermarkPointSize);
    return font;
}

bool TWatermarkOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void TWatermarkOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font_);
    painter.setPen(QColor(QRgb(kWatermarkColor)));
    const int ascent = QFontMetrics(font_).ascent();
    for (const TWatermarkOrigin& origin : WatermarkOrigins(width(), height())) {
        // Each tile turns about its own top-left corner, the text's cell above the baseline.
        painter.save();
        painter.translate(origin.x, origin.y);
        painter.rotate(-kWatermarkAngleDegrees);
        painter.drawText(0, ascent, text_);
        painter.restore();
    }
}

}  // namespace kiv
