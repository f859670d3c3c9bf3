#pragma once
// The windows the seamless clipping shapes, on Qt: the session window and, once
// it exists, the input-method window over the remote desktop. A shape is an X11
// SHAPE region through the widget's mask, so clicks outside it reach whatever
// local window lies below.
#include <QPointer>
#include <QWidget>

#include "ports/TaskbarWindows.h"

namespace kiv {

class TQtSeamlessSurface final : public ISeamlessSurface {
public:
    explicit TQtSeamlessSurface(QWidget& sessionWindow) : session_(&sessionWindow) {}

    // The input-method window comes and goes with the session's shell.
    void SetImeWindow(QWidget* imeWindow) { ime_ = imeWindow; }

    void SetSessionRegion(const std::vector<TRect>& region) override;
    void SetImeRegion(const std::vector<TRect>& region) override;
    void ActivateSessionWindow() override;
    TRect PrimaryScreen() const override;

    // Disjoint rectangles as a mask; nothing at all is the one pixel off the window.
    static QRegion ToRegion(const std::vector<TRect>& region);

private:
    // The new shape, and a repaint of what it newly takes in.
    static void Reshape(QWidget& window, const std::vector<TRect>& region);

    QPointer<QWidget> session_;
    QPointer<QWidget> ime_;
};

}  // namespace kiv
