#pragma once
// pnlDesktop: holds the remote desktop inset by its margin. In the windowed
// modes the one-pixel margin is the frame's border: drawn in the highlight
// colour, it reports the pointer's moves and presses for resizing and shows
// the cursor it is given.
#include <QWidget>

#include "ports/FrameView.h"

namespace kiv {

class TDesktopPanel final : public QWidget {
    Q_OBJECT

public:
    explicit TDesktopPanel(QWidget* parent);

    void SetContent(QWidget* content);
    QWidget* Content() const { return content_; }
    void SetMargin(int margin, int penWidth);
    void SetEvents(IFrameEvents* events) { events_ = events; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void PlaceContent();

    IFrameEvents* events_ = nullptr;
    QWidget* content_ = nullptr;
    int margin_ = 0;
    int penWidth_ = 0;
};

}  // namespace kiv
