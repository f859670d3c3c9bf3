#pragma once
// A text that acts as a link: underlined, with a hand cursor, clicked by the
// mouse or, when it has the focus, by Space or Enter.
#include <QLabel>

namespace kiv {

class TLinkLabel final : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace kiv
