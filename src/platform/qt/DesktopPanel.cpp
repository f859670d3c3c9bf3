#include "platform/qt/DesktopPanel.h"

#include <QMouseEvent>
#include <QPainter>

namespace kiv {

TDesktopPanel::TDesktopPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("pnlDesktop");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TDesktopPanel::SetContent(QWidget* content) {
    content_ = content;
    content_->setParent(this);
    PlaceContent();
    content_->show();
}

void TDesktopPanel::SetMargin(int margin, int penWidth) {
    margin_ = margin;
    penWidth_ = penWidth;
    PlaceContent();
    update();
}

void TDesktopPanel::PlaceContent() {
    if (content_) content_->setGeometry(rect().adjusted(margin_, margin_, -margin_, -margin_));
}

void TDesktopPanel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The border line in the colour of an active window's caption; without a
    // line the panel is the desktop's black.
    painter.fillRect(rect(), penWidth_ > 0 ? palette().color(QPalette::Active, QPalette::Highlight) : QColor(Qt::black));
}

void TDesktopPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceContent();
    if (events_) events_->OnDesktopPanelResize();
}

void TDesktopPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (events_) events_->OnPanelMouseMove(at.x(), at.y());
    event->accept();
}

void TDesktopPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && events_) events_->OnPanelMouseDown(at.x(), at.y());
    event->accept();
}

}  // namespace kiv
