#pragma once
// The session window as the user sees it: a frameless top-level window that
// holds the remote desktop, can be shaped (X11 SHAPE through Qt's mask), covered
// by a white panel, placed, and kept off the taskbar in seamless mode.
#include <QWidget>

#include <functional>

#include "ports/SessionWindowView.h"
#include "session/WindowPlacement.h"

namespace kiv {

class TSessionWindow final : public QWidget, public ISessionWindowView {
    Q_OBJECT

public:
    explicit TSessionWindow(QWidget* parent = nullptr);

    // The remote desktop's view fills the window, under the cover.
    void SetContent(QWidget* content);
    // The user closes the window: the session decides (the close itself is never run).
    std::function<void()> onCloseRequested;
    // Where PlaceWindow puts the window.
    std::function<TPlacement()> placement;

    void SetCaption(const std::string& caption) override;
    void SetEmptyRegion() override;
    void SetWholeRegion() override;
    void SetRegion(const TRect& region) override;
    void ShowCover(bool visible) override;
    void PlaceWindow() override;
    void SetVisible(bool visible) override;
    void BringToFront() override;
    void SetToolWindowStyle() override;
    bool SetApplicationIcon(const std::string& resourceName) override;

    bool CoverVisible() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QWidget* content_ = nullptr;
    QWidget* cover_;
    bool skipTaskbar_ = false;
};

// The monitors as Qt sees them, the primary one first.
std::vector<TMonitor> QtMonitors();

}  // namespace kiv
