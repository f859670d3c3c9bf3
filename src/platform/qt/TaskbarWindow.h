#pragma once
// One taskbar window: a frameless top-level window of ordinary size whose shape
// is empty (nothing of it is ever seen or clicked), with the server window's
// title and icon, so the panel shows a button for it. What the user does with
// the button comes back as messages of the seamless handler's vocabulary.
#include <QWidget>

#include <functional>

#include "ports/TaskbarWindows.h"

namespace kiv {

class TTaskbarWindow final : public QWidget {
    Q_OBJECT

public:
    using TReport = std::function<void(uint32_t message, uint64_t wParam)>;

    TTaskbarWindow(const QString& title, const QIcon& icon, TReport report);

    // The mask that keeps every pixel off the window (an empty QRegion would
    // remove the shape instead).
    static QRegion NothingShown();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TReport report_;
};

}  // namespace kiv
