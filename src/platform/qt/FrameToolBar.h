#pragma once
// pnlToolBar: the full-desktop frame's toolbar. The pin and the title sit at
// its left, the device, minimise, maximise and close buttons keep their
// distance to its right edge. A press on the bar itself (the title included)
// and a double click are reported; the buttons report their clicks.
#include <QFrame>

#include <optional>

#include "ports/FrameView.h"

class QLabel;
class QToolButton;

namespace kiv {

class TFrameToolBar final : public QFrame {
    Q_OBJECT

public:
    explicit TFrameToolBar(QWidget* parent);

    void SetCaption(const QString& caption);
    void SetHints(const TToolbarHints& hints);
    // The floating toolbar shows its edge on all four sides.
    void SetPanelBorders(bool borders);
    void SetEvents(IFrameEvents* events) { events_ = events; }

    bool HoldChecked() const;
    QToolButton* MenuButton() const { return btnMenu_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QToolButton* Button(const char* name, int size, const QIcon& icon, void (IFrameEvents::*click)());

    IFrameEvents* events_ = nullptr;
    // Where the left button went down on the bar, until the pointer moves away
    // (a drag) or the button comes up (a click, perhaps the first of a double click).
    std::optional<QPoint> pressedAt_;
    QLabel* lblCaption_;
    QToolButton* btnHold_;
    QToolButton* btnMenu_;
    QToolButton* btnMin_;
    QToolButton* btnMax_;
    QToolButton* btnClose_;
};

}  // namespace kiv
