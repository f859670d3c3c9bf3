#include "platform/qt/DesktopFrameWidget.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWindow>

#include "platform/qt/DesktopPanel.h"
#include "platform/qt/FrameToolBar.h"
#include "platform/qt/RemoteDesktopView.h"
#include "platform/qt/SessionWindow.h"
#include "platform/qt/X11MoveResize.h"
#include "session/WindowPlacement.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace kiv {

namespace {

TRect ToRect(const QRect& r) { return TRect{r.x(), r.y(), r.width(), r.height()}; }

Qt::CursorShape Shape(TFrameCursor cursor) {
    switch (cursor) {
        case TFrameCursor::SizeNWSE: return Qt::SizeFDiagCursor;
        case TFrameCursor::SizeNESW: return Qt::SizeBDiagCursor;
        case TFrameCursor::SizeWE: return Qt::SizeHorCursor;
        case TFrameCursor::SizeNS: return Qt::SizeVerCursor;
        case TFrameCursor::Arrow: break;
    }
    return Qt::ArrowCursor;
}

}  // namespace

TDesktopFrameWidget::TDesktopFrameWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("frame");
    panel_ = new TDesktopPanel(this);
    toolbar_ = new TFrameToolBar(this);
    toolbar_->hide();
    menu_ = new QMenu(this);
    menu_->setObjectName("pmSetting");
}

void TDesktopFrameWidget::SetDesktopView(TRemoteDesktopView* view) {
    view_ = view;
    panel_->SetContent(view);
}

QWidget* TDesktopFrameWidget::DesktopPanel() const { return panel_; }

void TDesktopFrameWidget::SetFrameEvents(IFrameEvents* events) {
    events_ = events;
    panel_->SetEvents(events);
    toolbar_->SetEvents(events);
}

void TDesktopFrameWidget::ApplyToolbarLayout(const TToolbarLayout& layout) {
    layout_ = layout;
    toolbar_->SetCaption(QString::fromStdString(layout.caption));
    toolbar_->SetHints(layout.hints);
    toolbar_->SetPanelBorders(layout.panelBorders);
    panel_->SetMargin(layout.desktopMargin, layout.borderPenWidth);
    PlaceChildren();
}

void TDesktopFrameWidget::PlaceChildren() {
    const QRect whole = rect();
    switch (layout_.dock) {
        case TToolbarDock::Top: {
            const int height = layout_.rect.height;
            toolbar_->setGeometry(0, 0, whole.width(), height);
            panel_->setGeometry(0, height, whole.width(), std::max(0, whole.height() - height));
            toolbar_->show();
            break;
        }
        case TToolbarDock::Floating:
            panel_->setGeometry(whole);
            toolbar_->setGeometry(layout_.rect.x, layout_.rect.y, layout_.rect.width, layout_.rect.height);
            toolbar_->show();
            toolbar_->raise();
            break;
        case TToolbarDock::Hidden:
            toolbar_->hide();
            panel_->setGeometry(whole);
            break;
    }
}

TRect TDesktopFrameWidget::ToolbarRect() const { return ToRect(toolbar_->geometry()); }

void TDesktopFrameWidget::SetToolbarTop(int32_t top, bool raise) {
    if (raise) toolbar_->raise();
    layout_.rect.y = top;
    toolbar_->move(toolbar_->x(), top);
}

bool TDesktopFrameWidget::HoldChecked() const { return toolbar_->HoldChecked(); }

TRect TDesktopFrameWidget::WindowRect() const { return ToRect(window()->geometry()); }

TRect TDesktopFrameWidget::PanelRect() const { return ToRect(panel_->geometry()); }

TRect TDesktopFrameWidget::ViewRect() const {
    if (!view_) return {};
    return ToRect(QRect(view_->mapTo(window(), QPoint(0, 0)), view_->size()));
}

bool TDesktopFrameWidget::WindowStateNormal() const {
    return (window()->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
}

void TDesktopFrameWidget::SetWindowMaximized(bool maximized) {
    QWidget* top = window();
    top->setWindowState(maximized ? (top->windowState() | Qt::WindowMaximized)
                                  : (top->windowState() & ~Qt::WindowMaximized));
}

void TDesktopFrameWidget::MinimizeWindow() { window()->showMinimized(); }

void TDesktopFrameWidget::SetPanelCursor(TFrameCursor cursor) { panel_->setCursor(Shape(cursor)); }

void TDesktopFrameWidget::StartSystemMove() {
    QWindow* handle = window()->windowHandle();
    if (!handle) return;
    X11SyncWindowPosition(*handle);
    handle->startSystemMove();
}

void TDesktopFrameWidget::StartSystemResize(uint32_t edges) {
    Qt::Edges qtEdges;
    if (edges & kResizeLeft) qtEdges |= Qt::LeftEdge;
    if (edges & kResizeTop) qtEdges |= Qt::TopEdge;
    if (edges & kResizeRight) qtEdges |= Qt::RightEdge;
    if (edges & kResizeBottom) qtEdges |= Qt::BottomEdge;
    QWindow* handle = window()->windowHandle();
    if (!handle || !qtEdges) return;
    X11SyncWindowPosition(*handle);
    handle->startSystemResize(qtEdges);
}

bool TDesktopFrameWidget::PointerButtonDown() const {
    // While the window manager holds the pointer Qt hears of no button; the X
    // server knows.
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return QGuiApplication::mouseButtons() != Qt::NoButton;
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!screen) return false;
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, screen->root), nullptr);
    if (!reply) return false;
    const bool down = (reply->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3)) != 0;
    std::free(reply);
    return down;
}

void TDesktopFrameWidget::ShowDeviceMenu(const std::vector<TDeviceMenuItem>& items) {
    menu_->clear();
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction* action = menu_->addAction(QString::fromStdString(items[i].caption));
        action->setCheckable(true);
        action->setChecked(items[i].checked);
        connect(action, &QAction::triggered, this, [this, i] {
            if (events_) events_->OnDeviceMenuItemClick(i);
        });
    }
    QToolButton* button = toolbar_->MenuButton();
    menu_->popup(button->mapToGlobal(QPoint(0, button->height())));
}

bool TDesktopFrameWidget::DeviceMenuOpen() const { return menu_->isVisible(); }

void TDesktopFrameWidget::CenterOnMonitor(int index) {
    const TRect to = kiv::CenterOnMonitor(WindowRect(), index, QtMonitors());
    window()->move(to.x, to.y);
}

void TDesktopFrameWidget::FollowViewSize() {
    if (view_) view_->FollowOwnSize();
}

bool TDesktopFrameWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::MouseMove && events_) {
        // Every move over the window passes here before a child gets it: the
        // moment the window would set its cursor.
        const QPoint at = mapFrom(window(), static_cast<QMouseEvent*>(event)->position().toPoint());
        events_->OnWindowPointer(at.x(), at.y());
    }
    return QWidget::eventFilter(watched, event);
}

void TDesktopFrameWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void TDesktopFrameWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QWindow* handle = window()->windowHandle();
    if (handle && handle != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        handle->installEventFilter(this);
        watchedWindow_ = handle;
    }
}

}  // namespace kiv
