#pragma once
// The widget that shows a remote session's desktop and feeds it the local mouse
// and keyboard. It keeps no copy of the desktop: a repaint draws the damaged
// part straight from the control's frame buffer, under the control's lock (a
// damage report only marks its rectangles for repainting). Desktop pixels map
// one to one onto widget pixels unless the
// owner asks the view to scale a desktop of another size into itself; the
// widget's size is its owner's business.
#include <QWidget>

#include <cstdint>
#include <set>
#include <vector>

#include "ports/RemoteDisplay.h"

namespace kiv {

// The RDP pointer flags the session's input travels with.
namespace rdp_pointer {
inline constexpr uint16_t kWheelRotationMask = 0x01FF;
inline constexpr uint16_t kWheelNegative = 0x0100;
inline constexpr uint16_t kWheel = 0x0200;
inline constexpr uint16_t kMove = 0x0800;
inline constexpr uint16_t kButton1 = 0x1000;  // left
inline constexpr uint16_t kButton2 = 0x2000;  // right
inline constexpr uint16_t kButton3 = 0x4000;  // middle
inline constexpr uint16_t kDown = 0x8000;
// One notch of a classic wheel, in the same units as Qt's angle delta.
inline constexpr int kWheelNotch = 120;
}  // namespace rdp_pointer

class TRemoteDesktopView : public QWidget, public IRemoteDisplayListener {
    Q_OBJECT

public:
    // display may be null (attach later); the view registers itself as its listener.
    explicit TRemoteDesktopView(IRemoteDisplay* display = nullptr, QWidget* parent = nullptr);
    ~TRemoteDesktopView() override;

    // Detaches from the previous display (if any) and attaches to this one (or none).
    void SetDisplay(IRemoteDisplay* display);
    IRemoteDisplay* Display() const { return display_; }

    // The desktop's size as last reported (empty before the first size).
    QSize DesktopSize() const { return desktop_; }

    // A desktop of another size than the view is drawn scaled to the view, and
    // the pointer's positions are scaled back.
    void SetScaleToFit(bool scale);
    // Asks the session for a desktop of the view's size; it follows where the
    // server allows it (until then, and otherwise, the view scales).
    void FollowOwnSize();

    void OnDesktopResized(int32_t width, int32_t height) override;
    void OnFrameDamaged(const std::vector<TRect>& damaged) override;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPoint DesktopPoint(const QPointF& widgetPoint) const;
    bool Scaled() const;
    QRect WidgetArea(const QRect& desktopArea) const;
    void SendButton(Qt::MouseButton button, bool down, const QPointF& position);
    void ReleaseHeldKeys();

    IRemoteDisplay* display_ = nullptr;
    QSize desktop_;
    std::set<uint32_t> heldKeys_;  // keycodes sent down and not yet up
    bool scaleToFit_ = false;
    QSize requestedSize_;  // the desktop size last asked for
};

}  // namespace kiv
