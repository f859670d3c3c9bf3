#pragma once
// The frame of the client's small borderless dialogs: a caption strip across the
// top in the colours of the user's header scheme, a thin frame, and a body the
// dialog's components sit on. Pressing in the strip drags the window.
#include <QColor>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "infra/LanguageStyle.h"

namespace kiv {

struct THeaderColors {
    QColor stripTop;     // the caption strip is a vertical gradient
    QColor stripBottom;
    QColor caption;      // caption text and the strip's glyphs
    QColor frame;        // one-pixel outline of the window
    QColor body;         // what the components sit on
};

class THeaderPanel final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeaderHeight = 30;

    explicit THeaderPanel(QWidget* parent);

    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }

    void SetScheme(THeaderScheme scheme);
    THeaderScheme Scheme() const { return scheme_; }
    // The scheme the user chose in "Farms.ini"; unknown numbers keep the default.
    void ApplyColorScheme();
    static THeaderColors ColorsOf(THeaderScheme scheme);
    const THeaderColors& Colors() const { return colors_; }

    // A dialog may paint its body in a colour of its own (the logon look does).
    void SetBodyColor(const QColor& color);
    QColor BodyColor() const { return colors_.body; }

    int HeaderHeight() const { return kHeaderHeight; }
    QRect HeaderRect() const { return QRect(0, 0, width(), kHeaderHeight); }

signals:
    void SchemeChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString caption_;
    THeaderScheme scheme_ = THeaderScheme::Default;
    THeaderColors colors_;
    bool ownBody_ = false;
    // Where the press grabbed the window, when the window system does not move it itself.
    bool dragging_ = false;
    QPoint grabOffset_;
};

}  // namespace kiv
