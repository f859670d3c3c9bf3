#pragma once
// A small live graph of one session's last minute: received bytes per second
// as a filled area, sent bytes per second as a line, scaled to the largest
// second shown.
#include <QWidget>

#include <deque>

#include "status/SessionTraffic.h"

namespace kiv::status {

class TTrafficGraph : public QWidget {
    Q_OBJECT

public:
    explicit TTrafficGraph(QWidget* parent = nullptr);
    void SetSeconds(const std::deque<TSessionSecond>& seconds);
    QSize sizeHint() const override { return QSize(280, 44); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::deque<TSessionSecond> seconds_;
};

}  // namespace kiv::status
