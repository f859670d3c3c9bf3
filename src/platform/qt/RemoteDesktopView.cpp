#include "platform/qt/RemoteDesktopView.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <bit>

#include "platform/qt/WindowShape.h"

namespace kiv {

namespace {

constexpr int kBytesPerPixel = 4;

// BGRA bytes in memory are what Format_RGB32 holds on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

// The part of a damaged rectangle that lies inside both the frame and the image,
// computed in 64 bits so hostile coordinates cannot wrap around.
QRect ClippedDamage(const TRect& damage, int64_t frameWidth, int64_t frameHeight) {
    const int64_t left = std::max<int64_t>(damage.x, 0);
    const int64_t top = std::max<int64_t>(damage.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{damage.x} + std::max<int32_t>(damage.width, 0), frameWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{damage.y} + std::max<int32_t>(damage.height, 0), frameHeight);
    if (right <= left || bottom <= top) return {};
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

uint16_t ButtonFlag(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return rdp_pointer::kButton1;
        case Qt::RightButton: return rdp_pointer::kButton2;
        case Qt::MiddleButton: return rdp_pointer::kButton3;
        default: return 0;  // the extra buttons travel as extended events, which this view does not send
    }
}

}  // namespace

TRemoteDesktopView::TRemoteDesktopView(IRemoteDisplay* display, QWidget* parent) : QWidget(parent) {
    // Every key, Tab included, belongs to the session while the view has focus.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_KeyCompression, false);
    SetDisplay(display);
}

TRemoteDesktopView::~TRemoteDesktopView() { SetDisplay(nullptr); }

void TRemoteDesktopView::SetDisplay(IRemoteDisplay* display) {
    if (display == display_) return;
    if (display_) display_->SetDisplayListener(nullptr);
    heldKeys_.clear();
    display_ = display;
    if (display_) display_->SetDisplayListener(this);
}

void TRemoteDesktopView::SetScaleToFit(bool scale) {
    scaleToFit_ = scale;
    update();
}

void TRemoteDesktopView::FollowOwnSize() {
    if (!display_ || width() <= 0 || height() <= 0) return;
    // The display-control protocol takes even widths only.
    const QSize wanted(width() & ~1, height());
    if (wanted == requestedSize_ || wanted == desktop_) return;
    requestedSize_ = wanted;
    display_->RequestDesktopSize(wanted.width(), wanted.height());
}

bool TRemoteDesktopView::Scaled() const { return scaleToFit_ && !desktop_.isEmpty() && desktop_ != size(); }

QRect TRemoteDesktopView::WidgetArea(const QRect& desktopArea) const {
    if (!Scaled()) return desktopArea;
    const double sx = double(width()) / desktop_.width(), sy = double(height()) / desktop_.height();
    // One pixel more on each side: smoothing reaches into the neighbours.
    return QRect(QPoint(int(desktopArea.left() * sx) - 1, int(desktopArea.top() * sy) - 1),
                 QPoint(int((desktopArea.right() + 1) * sx) + 1, int((desktopArea.bottom() + 1) * sy) + 1));
}

void TRemoteDesktopView::OnDesktopResized(int32_t width, int32_t height) {
    desktop_ = width <= 0 || height <= 0 ? QSize() : QSize(width, height);
    updateGeometry();
    update();
    // A desktop made before the view had its size (or one the server chose).
    if (scaleToFit_) FollowOwnSize();
}

void TRemoteDesktopView::OnFrameDamaged(const std::vector<TRect>& damaged) {
    if (!display_ || desktop_.isEmpty()) return;
    for (const TRect& damage : damaged) {
        const QRect rect = ClippedDamage(damage, desktop_.width(), desktop_.height());
        if (!rect.isEmpty()) update(WidgetArea(rect));
    }
}

QSize TRemoteDesktopView::sizeHint() const { return desktop_.isEmpty() ? QWidget::sizeHint() : desktop_; }

bool TRemoteDesktopView::event(QEvent* event) {
    // Claiming the shortcut override keeps the application's shortcuts (and the
    // dialogs' default buttons) from taking keys meant for the session.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

bool TRemoteDesktopView::focusNextPrevChild(bool) {
    // Tab and Backtab go to the session instead of moving the focus.
    return false;
}

void TRemoteDesktopView::paintEvent(QPaintEvent* event) {
    const QRegion wanted = InsideWindowShape(*this, event->region());
    if (wanted.isEmpty()) return;
    QPainter painter(this);
    painter.setClipRegion(wanted);
    QRegion outside(wanted.boundingRect());  // what the frame does not cover is painted black
    if (display_ && !desktop_.isEmpty()) {
        display_->ReadFrame([&](const TFrameView& frame) {
            if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.stride <= 0) return;
            // A row never reaches past its stride, whatever the width claims; a
            // frame that grew before its resize reached the view shows the known part.
            const int width = static_cast<int>(
                std::min<int64_t>({frame.width, frame.stride / kBytesPerPixel, desktop_.width()}));
            const int height = std::min(frame.height, desktop_.height());
            if (width <= 0 || height <= 0) return;
            // The frame buffer itself, wrapped, not copied (BGRA bytes are Format_RGB32 here).
            const QImage picture(frame.pixels, width, height, frame.stride, QImage::Format_RGB32);
            if (Scaled()) {
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                const QRectF target(0, 0, width * double(this->width()) / desktop_.width(),
                                    height * double(this->height()) / desktop_.height());
                painter.drawImage(target, picture);
                outside -= QRegion(target.toRect());
                return;
            }
            const QRect shown = wanted.boundingRect().intersected(picture.rect());
            if (!shown.isEmpty()) painter.drawImage(shown.topLeft(), picture, shown);
            outside -= QRegion(picture.rect());
        });
    }
    for (const QRect& rect : outside) painter.fillRect(rect, Qt::black);
}

QPoint TRemoteDesktopView::DesktopPoint(const QPointF& widgetPoint) const {
    // While a button is held the pointer may leave the widget; the server only
    // understands positions on its desktop.
    const int maxX = desktop_.isEmpty() ? 0 : desktop_.width() - 1;
    const int maxY = desktop_.isEmpty() ? 0 : desktop_.height() - 1;
    QPoint point = widgetPoint.toPoint();
    if (Scaled())
        point = QPoint(int(widgetPoint.x() * desktop_.width() / width()),
                       int(widgetPoint.y() * desktop_.height() / height()));
    return QPoint(std::clamp(point.x(), 0, std::max(maxX, 0)), std::clamp(point.y(), 0, std::max(maxY, 0)));
}

void TRemoteDesktopView::SendButton(Qt::MouseButton button, bool down, const QPointF& position) {
    const uint16_t flag = ButtonFlag(button);
    if (!display_ || flag == 0) return;
    const QPoint point = DesktopPoint(position);
    display_->SendMouseEvent(static_cast<uint16_t>(flag | (down ? rdp_pointer::kDown : 0)), point.x(), point.y());
}

void TRemoteDesktopView::mouseMoveEvent(QMouseEvent* event) {
    if (!display_) return;
    const QPoint point = DesktopPoint(event->position());
    display_->SendMouseEvent(rdp_pointer::kMove, point.x(), point.y());
    event->accept();
}

void TRemoteDesktopView::mousePressEvent(QMouseEvent* event) {
    SendButton(event->button(), true, event->position());
    event->accept();
}

void TRemoteDesktopView::mouseReleaseEvent(QMouseEvent* event) {
    SendButton(event->button(), false, event->position());
    event->accept();
}

void TRemoteDesktopView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt turns the second press of a double click into this event; the server
    // recognises double clicks itself and needs the plain press.
    SendButton(event->button(), true, event->position());
    event->accept();
}

void TRemoteDesktopView::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (!display_) return;
    int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPoint point = DesktopPoint(event->position());
    // The rotation field holds a nine-bit two's complement value: a large turn goes
    // out as several events of at most one notch each.
    while (delta != 0) {
        const int step = std::clamp(delta, -rdp_pointer::kWheelNotch, rdp_pointer::kWheelNotch);
        delta -= step;
        const uint16_t rotation = static_cast<uint16_t>(step) & rdp_pointer::kWheelRotationMask;
        uint16_t flags = static_cast<uint16_t>(rdp_pointer::kWheel | rotation);
        if (step < 0) flags |= rdp_pointer::kWheelNegative;
        display_->SendMouseEvent(flags, point.x(), point.y());
    }
}

void TRemoteDesktopView::keyPressEvent(QKeyEvent* event) {
    event->accept();
    const uint32_t keycode = event->nativeScanCode();
    if (!display_ || keycode == 0) return;
    // Auto-repeat arrives as repeated presses; the server repeats a key that is
    // pressed again without a release, as a local keyboard would.
    heldKeys_.insert(keycode);
    display_->SendKeyEvent(keycode, true);
}

void TRemoteDesktopView::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    const uint32_t keycode = event->nativeScanCode();
    if (!display_ || keycode == 0) return;
    // X11 pairs each repeated press with a synthetic release; only the real
    // release at the end lets the key go.
    if (event->isAutoRepeat()) return;
    heldKeys_.erase(keycode);
    display_->SendKeyEvent(keycode, false);
}

void TRemoteDesktopView::focusOutEvent(QFocusEvent* event) {
    // A key released while another window has the focus never reaches us; let the
    // session see it up now rather than repeating it forever.
    ReleaseHeldKeys();
    QWidget::focusOutEvent(event);
}

void TRemoteDesktopView::ReleaseHeldKeys() {
    std::set<uint32_t> held;
    held.swap(heldKeys_);
    if (!display_) return;
    for (uint32_t keycode : held) display_->SendKeyEvent(keycode, false);
}

}  // namespace kiv
