#include "status/TrafficGraph.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace kiv::status {

namespace {

const QColor kBackground(24, 32, 40);
const QColor kGrid(48, 60, 72);
const QColor kReceived(64, 156, 255);
const QColor kSent(255, 170, 60);

}  // namespace

TTrafficGraph::TTrafficGraph(QWidget* parent) : QWidget(parent) { setMinimumSize(200, 36); }

void TTrafficGraph::SetSeconds(const std::deque<TSessionSecond>& seconds) {
    seconds_ = seconds;
    update();
}

void TTrafficGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillRect(rect(), kBackground);
    painter.setPen(kGrid);
    for (int i = 1; i < 4; ++i) painter.drawLine(QPointF(area.left(), area.top() + area.height() * i / 4),
                                                 QPointF(area.right(), area.top() + area.height() * i / 4));
    painter.drawRect(area);
    if (seconds_.empty()) return;

    int64_t top = 1;
    for (const auto& s : seconds_) top = std::max({top, s.sent, s.received});
    const double step = area.width() / static_cast<double>(TSessionTrafficList::kHistorySeconds - 1);
    // The newest second at the right edge.
    const double firstX = area.right() - step * static_cast<double>(seconds_.size() - 1);
    auto yOf = [&](int64_t value) { return area.bottom() - area.height() * 0.9 * static_cast<double>(value) / top; };

    QPainterPath received;
    received.moveTo(firstX, area.bottom());
    QPainterPath sent;
    for (std::size_t i = 0; i < seconds_.size(); ++i) {
        const double x = firstX + step * static_cast<double>(i);
        received.lineTo(x, yOf(seconds_[i].received));
        if (i == 0) sent.moveTo(x, yOf(seconds_[i].sent));
        else sent.lineTo(x, yOf(seconds_[i].sent));
    }
    received.lineTo(area.right(), area.bottom());
    received.closeSubpath();
    QColor fill = kReceived;
    fill.setAlpha(110);
    painter.fillPath(received, fill);
    painter.setPen(QPen(kReceived, 1.5));
    painter.drawPath(received);
    painter.setPen(QPen(kSent, 1.5));
    painter.drawPath(sent);
}

}  // namespace kiv::status
