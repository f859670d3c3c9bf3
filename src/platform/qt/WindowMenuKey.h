#pragma once
// The key that opens a server window's window menu in seamless mode. The
// window manager keeps Alt+Space for its own menu and a panel keeps the task
// button's right click, so the session window takes Alt+Shift+Space: while it
// has the keyboard, the combination goes to the callback instead of the server
// (the press and its release), when the callback takes it.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kiv {

class TWindowMenuKey final : public QObject {
public:
    // open: asks for the menu; false when there is no window to ask for.
    TWindowMenuKey(QWidget& sessionWindow, std::function<bool()> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    std::function<bool()> open_;
    bool releaseTaken_ = false;  // the press was taken: so is its release
};

}  // namespace kiv
