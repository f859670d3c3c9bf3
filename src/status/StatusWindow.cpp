#include "status/StatusWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "infra/CodePage.h"
#include "platform/qt/X11Atoms.h"

namespace kiv::status {

QString BytesText(int64_t bytes) {
    if (bytes < 1024) return QString::number(bytes) + " B";
    if (bytes < 1024 * 1024) return QString::number(bytes / 1024.0, 'f', 1) + " KB";
    if (bytes < int64_t{1024} * 1024 * 1024) return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + " MB";
    return QString::number(bytes / (1024.0 * 1024.0 * 1024.0), 'f', 2) + " GB";
}

TStatusWindow::TStatusWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle("kiv-status");
    setStyleSheet("QWidget#panel { background: #101820; border: 1px solid #3a4a5a; }"
                  "QLabel { color: #d8e0e8; font-size: 11px; }"
                  "QLabel#figures { color: #9fb3c8; }");
    setObjectName("panel");
    setAttribute(Qt::WA_StyledBackground);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(8, 6, 8, 8);
    layout_->setSpacing(6);
    idle_ = new QLabel("...", this);
    layout_->addWidget(idle_);
    (void)winId();
    if (OnX11()) SetSkipTaskbar(*windowHandle());
}

TStatusWindow::TRow TStatusWindow::MakeRow() {
    TRow row;
    row.frame = new QWidget(this);
    auto* rowLayout = new QVBoxLayout(row.frame);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    row.title = new QLabel(row.frame);
    row.figures = new QLabel(row.frame);
    row.figures->setObjectName("figures");
    row.graph = new TTrafficGraph(row.frame);
    rowLayout->addWidget(row.title);
    rowLayout->addWidget(row.graph);
    rowLayout->addWidget(row.figures);
    layout_->addWidget(row.frame);
    return row;
}

void TStatusWindow::ShowSessions(const TSessionTrafficList& sessions) {
    const auto& list = sessions.Sessions();
    while (rows_.size() < list.size()) rows_.push_back(MakeRow());
    while (rows_.size() > list.size()) {
        delete rows_.back().frame;
        rows_.pop_back();
    }
    idle_->setVisible(list.empty());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const TSessionTraffic& session = list[i];
        // Names are bytes of the system code page, as the client's settings record holds them.
        const QString server = QString::fromStdString(SystemToUtf8(session.serverName));
        const QString app = QString::fromStdString(SystemToUtf8(session.appName));
        rows_[i].title->setText(server.isEmpty() ? app : server + "  \u00b7  " + app);
        // Received first (down), then sent (up): this second, then the session's totals.
        rows_[i].figures->setText(QString("\u2193 %1/s  \u2191 %2/s     \u03a3 \u2193 %3  \u2191 %4")
                                      .arg(BytesText(session.last.ReceivedLastSecond),
                                           BytesText(session.last.SentLastSecond), BytesText(session.last.ReceivedTotal),
                                           BytesText(session.last.SentTotal)));
        rows_[i].graph->SetSeconds(session.seconds);
    }
    adjustSize();
    if (!placedByUser_) PlaceInCorner();
    if (!isVisible()) show();
}

void TStatusWindow::PlaceInCorner() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect work = screen->availableGeometry();
    move(work.right() - width() - 12, work.bottom() - height() - 12);
}

void TStatusWindow::mousePressEvent(QMouseEvent* event) {
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TStatusWindow::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) == 0) return;
    placedByUser_ = true;
    move(event->globalPosition().toPoint() - dragOffset_);
}

}  // namespace kiv::status
