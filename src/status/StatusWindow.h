#pragma once
// The floating status window: a small frameless panel that stays above other
// windows, off the taskbar, in the bottom right corner of the screen (it can be
// dragged away). One row per running session: the server and the application,
// the last second's figures, and the last minute as a graph.
#include <QLabel>
#include <QPoint>
#include <QVBoxLayout>
#include <QWidget>

#include <vector>

#include "status/SessionTraffic.h"
#include "status/TrafficGraph.h"

namespace kiv::status {

class TStatusWindow : public QWidget {
    Q_OBJECT

public:
    TStatusWindow();
    void ShowSessions(const TSessionTrafficList& sessions);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct TRow {
        QWidget* frame;
        QLabel* title;
        QLabel* figures;
        TTrafficGraph* graph;
    };
    TRow MakeRow();
    void PlaceInCorner();

    QVBoxLayout* layout_;
    QLabel* idle_;
    std::vector<TRow> rows_;
    QPoint dragOffset_;
    bool placedByUser_ = false;
};

// 1536 -> "1.5 KB".
QString BytesText(int64_t bytes);

}  // namespace kiv::status
