#pragma once
// The watermark over the session: a see-through child that covers the widget
// it is given and follows its size, draws the tilted text tiles and takes no
// input (mouse and keys reach the session as if it were not there).
#include <QString>
#include <QWidget>

namespace kiv {

class TWatermarkOverlay final : public QWidget {
    Q_OBJECT

public:
    TWatermarkOverlay(QWidget* over, const QString& text);

    const QString& Text() const { return text_; }
    // "宋体" where the desktop has it, else a CJK face Debian ships.
    static QFont WatermarkFont();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QFont font_;
};

}  // namespace kiv
