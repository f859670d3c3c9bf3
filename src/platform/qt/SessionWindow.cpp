#include "platform/qt/SessionWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include <xcb/xcb.h>

#include "platform/qt/IconFileReader.h"
#include "platform/qt/TaskbarWindowX11.h"
#include "platform/qt/X11Atoms.h"
#include "platform/qt/WindowShape.h"

namespace kiv {

namespace {

TRect ToRect(const QRect& r) { return TRect{r.x(), r.y(), r.width(), r.height()}; }

// The white cover over the session, painted only where the window's shape shows it.
class TCover : public QWidget {
public:
    explicit TCover(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        for (const QRect& rect : InsideWindowShape(*this, event->region())) painter.fillRect(rect, Qt::white);
    }
};

}  // namespace

std::vector<TMonitor> QtMonitors() {
    std::vector<TMonitor> monitors;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) monitors.push_back({ToRect(primary->geometry()), ToRect(primary->availableGeometry())});
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) monitors.push_back({ToRect(screen->geometry()), ToRect(screen->availableGeometry())});
    return monitors;
}

TSessionWindow::TSessionWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("frmClientForm");
    cover_ = new TCover(this);
    cover_->setObjectName("pnl1");
    cover_->hide();
}

void TSessionWindow::SetContent(QWidget* content) {
    content_ = content;
    content_->setParent(this);
    content_->setGeometry(rect());
    content_->show();
    cover_->raise();
}

void TSessionWindow::SetCaption(const std::string& caption) { setWindowTitle(QString::fromUtf8(caption.c_str())); }

// An empty mask would remove the shape altogether: "nothing" is one pixel outside.
void TSessionWindow::SetEmptyRegion() { setMask(QRegion(-1, -1, 1, 1)); }

void TSessionWindow::SetWholeRegion() { clearMask(); }

void TSessionWindow::SetRegion(const TRect& r) { setMask(QRegion(r.x, r.y, r.width, r.height)); }

void TSessionWindow::ShowCover(bool visible) {
    cover_->setGeometry(rect());
    cover_->setVisible(visible);
    if (visible) cover_->raise();
}

bool TSessionWindow::CoverVisible() const { return cover_->isVisible(); }

void TSessionWindow::PlaceWindow() {
    if (!placement) return;
    const TPlacement p = placement();
    setGeometry(p.rect.x, p.rect.y, p.rect.width, p.rect.height);
    if (p.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TSessionWindow::SetVisible(bool visible) {
    if (visible && skipTaskbar_) {
        (void)winId();
        SetSkipTaskbar(*windowHandle());
        SetCloseOnlyFunctions(*windowHandle());
    }
    setVisible(visible);
}

void TSessionWindow::BringToFront() {
    raise();
    activateWindow();
}

void TSessionWindow::SetToolWindowStyle() {
    skipTaskbar_ = true;
    // The window covers the screen for the server's windows: the window manager
    // must not move, resize or minimise it (minimised, nothing would bring the
    // server's windows back). A toolbar cannot be minimised or maximised, and is
    // left out of the window manager's task switcher; the Motif hints take moving
    // and resizing away. Closing stays: it closes the active server window.
    setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
    (void)winId();  // the X window must exist before its state is set, and before it is shown
    SetSkipTaskbar(*windowHandle());
    SetCloseOnlyFunctions(*windowHandle());
}

bool TSessionWindow::SetApplicationIcon(const std::string& resourceName) {
    // The icons the program carries are compiled into it as Qt resources.
    QFile file(":/" + QString::fromStdString(resourceName));
    if (!file.open(QIODevice::ReadOnly)) return false;
    QIcon icon;
    for (const QImage& image : ReadIconFile(file)) icon.addPixmap(QPixmap::fromImage(image));
    if (icon.isNull()) return false;
    QGuiApplication::setWindowIcon(icon);
    setWindowIcon(icon);
    return true;
}

void TSessionWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (onCloseRequested) onCloseRequested();
}

bool TSessionWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    // A window manager drops a window's states when it lets the window go (the
    // window was mapped anew): once it takes the window again, it is told again.
    if (skipTaskbar_ && eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
            if (change->atom == WmStateAtom() && change->state == XCB_PROPERTY_NEW_VALUE && windowHandle()) {
                SetSkipTaskbar(*windowHandle());
                SetCloseOnlyFunctions(*windowHandle());
            }
        }
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void TSessionWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (content_) content_->setGeometry(rect());
    cover_->setGeometry(rect());
}

}  // namespace kiv
