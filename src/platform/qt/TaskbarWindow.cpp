#include "platform/qt/TaskbarWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <xcb/xcb.h>

#include "platform/qt/TaskbarWindowX11.h"

namespace kiv {

namespace {

// Wide enough for window managers and panels to treat it as an ordinary window,
// until the server window's rectangle arrives.
constexpr int kWidth = 160;
constexpr int kHeight = 40;
// How long an activation asked for may take the window manager.
constexpr int kActivationAnswerMs = 2000;

}  // namespace

TTaskbarWindow::TTaskbarWindow(const QString& title, const QIcon& icon, TReport report)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), report_(std::move(report)) {
    setObjectName("TaskbarWindow");
    // Shown without taking the focus; the seamless handler activates it itself.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // It shows nothing (the session window shows the server window): never
    // painted, it gets no backing store, which would be as large as the window.
    setUpdatesEnabled(false);
    setWindowTitle(title);
    if (!icon.isNull()) setWindowIcon(icon);
    resize(kWidth, kHeight);
    move(0, 0);
}

QRegion TTaskbarWindow::NothingShown() { return QRegion(-1, -1, 1, 1); }

bool TTaskbarWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        uint64_t state = event->type() == QEvent::WindowActivate ? kActivateActive : kActivateInactive;
        if (isMinimized()) state |= uint64_t{1} << 16;
        if (event->type() == QEvent::WindowActivate && activationAsked_) {
            activationAsked_ = false;
            state |= kActivateRequested;
        }
        report_(kTaskbarActivate, state);
    }
    return QWidget::event(event);
}

void TTaskbarWindow::RequestActivation() {
    if (!managed_) managed_ = ManagedByWindowManager(static_cast<uint32_t>(winId()));
    if (!managed_) {
        // Asked again when the window manager sets WM_STATE on it.
        activationWanted_ = true;
        return;
    }
    AskNow();
}

void TTaskbarWindow::AskNow() {
    activationWanted_ = false;
    activationAsked_ = true;
    AskToActivateAsPager(static_cast<uint32_t>(winId()));
    // A window manager that does not follow must not turn the user's next
    // activation into one nobody made.
    const int serial = ++askSerial_;
    QTimer::singleShot(kActivationAnswerMs, this, [this, serial] {
        if (serial == askSerial_) activationAsked_ = false;
    });
}

bool TTaskbarWindow::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
            if (change->atom == WmStateAtom() && change->state == XCB_PROPERTY_NEW_VALUE) {
                managed_ = true;
                if (activationWanted_) AskNow();
            }
        }
    }
    return QWidget::nativeEvent(eventType, message, result);
}

void TTaskbarWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates now = windowState();
    if (now == before) return;
    if (now & Qt::WindowMinimized) report_(kTaskbarSize, kSizeMinimized);
    else if (now & Qt::WindowMaximized) report_(kTaskbarSize, kSizeMaximized);
    else report_(kTaskbarSize, kSizeRestored);
}

void TTaskbarWindow::closeEvent(QCloseEvent* event) {
    if (!event->spontaneous()) {
        QWidget::closeEvent(event);
        return;
    }
    // The panel's "close": the server decides and destroys the window when it goes.
    event->ignore();
    report_(kTaskbarClose, 0);
}

void TTaskbarWindow::keyPressEvent(QKeyEvent* event) {
    report_(kTaskbarKeyDown, static_cast<uint64_t>(event->key()));
    // The window menu: the panel's own menu is not ours to see, so the keyboard
    // asks for it, and the server shows the server window's menu at the cursor.
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        report_(kTaskbarAfterMenuShow, 0);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kiv
