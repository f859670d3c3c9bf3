#include "platform/qt/HeaderPanel.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace kiv {

THeaderPanel::THeaderPanel(QWidget* parent) : QWidget(parent), colors_(ColorsOf(THeaderScheme::Default)) {
    setObjectName("NxHeaderPanel1");
    setAccessibleName("NxHeaderPanel1");
}

THeaderColors THeaderPanel::ColorsOf(THeaderScheme scheme) {
    switch (scheme) {
        case THeaderScheme::Black:
            return {QColor(0x4a, 0x4d, 0x52), QColor(0x1d, 0x1f, 0x22), QColor(0xf4, 0xf4, 0xf4),
                    QColor(0x1d, 0x1f, 0x22), QColor(0xf1, 0xf1, 0xf1)};
        case THeaderScheme::Blue:
            return {QColor(0x3f, 0x7f, 0xd8), QColor(0x1d, 0x55, 0xa8), QColor(0xff, 0xff, 0xff),
                    QColor(0x1d, 0x55, 0xa8), QColor(0xee, 0xf3, 0xfa)};
        case THeaderScheme::Silver:
            return {QColor(0xf6, 0xf7, 0xf9), QColor(0xc8, 0xcd, 0xd5), QColor(0x22, 0x27, 0x2e),
                    QColor(0x98, 0x9f, 0xaa), QColor(0xf4, 0xf5, 0xf7)};
        case THeaderScheme::Default:
            break;
    }
    // The design colours: the deep blue of the banner's separator.
    return {QColor(0x1c, 0x5c, 0xb8), QColor(0x00, 0x34, 0x9a), QColor(0xff, 0xff, 0xff), QColor(0x00, 0x34, 0x9a),
            QColor(0xf0, 0xf0, 0xf0)};
}

void THeaderPanel::SetCaption(const QString& caption) {
    caption_ = caption;
    setAccessibleDescription(caption);
    update();
}

void THeaderPanel::SetScheme(THeaderScheme scheme) {
    const QColor body = colors_.body;
    scheme_ = scheme;
    colors_ = ColorsOf(scheme);
    if (ownBody_) colors_.body = body;
    update();
    emit SchemeChanged();
}

void THeaderPanel::ApplyColorScheme() { SetScheme(HeaderSchemeFor(ReadColorScheme())); }

void THeaderPanel::SetBodyColor(const QColor& color) {
    ownBody_ = true;
    colors_.body = color;
    update();
}

void THeaderPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colors_.body);

    QLinearGradient strip(0, 0, 0, kHeaderHeight);
    strip.setColorAt(0.0, colors_.stripTop);
    strip.setColorAt(1.0, colors_.stripBottom);
    painter.fillRect(HeaderRect(), strip);

    painter.setPen(colors_.frame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(colors_.caption);
    // Room on the right for a glyph the dialog may put into the strip.
    const QRect text = HeaderRect().adjusted(10, 0, -30, 0);
    painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(caption_, Qt::ElideRight, text.width()));
}

void THeaderPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !HeaderRect().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);
        return;
    }
    // A borderless window is moved by the window system when it can; otherwise
    // the window follows the pointer until the button is released.
    QWindow* handle = window()->windowHandle();
    if (handle && handle->startSystemMove()) return;
    dragging_ = true;
    grabOffset_ = event->globalPosition().toPoint() - window()->pos();
}

void THeaderPanel::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        window()->move(event->globalPosition().toPoint() - grabOffset_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void THeaderPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

}  // namespace kiv
