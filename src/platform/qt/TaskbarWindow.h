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

    // Asks the window manager to activate the window as a pager would: now when
    // it manages the window, otherwise as soon as it takes it. The activation that
    // follows (within two seconds) is reported as requested, not as the user's.
    void RequestActivation();
    // The window manager manages the window.
    bool Managed() const { return managed_; }

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void AskNow();

    TReport report_;
    bool managed_ = false;
    bool activationWanted_ = false;  // asked for before the window manager took the window
    bool activationAsked_ = false;   // the next activation is the one asked for
    int askSerial_ = 0;
};

}  // namespace kiv
