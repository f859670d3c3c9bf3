#pragma once
// The frame around a whole remote desktop, as the session window's content:
// the desktop panel (pnlDesktop) with the remote desktop inside its margin,
// the toolbar (pnlToolBar) docked above it or floating over it, and the device
// menu (pmSetting). It draws what the frame's logic lays out and reports what
// the user does; the window manager moves and resizes the window.
#include <QPointer>
#include <QWidget>

#include "ports/FrameView.h"

class QMenu;

namespace kiv {

class TDesktopPanel;
class TFrameToolBar;
class TRemoteDesktopView;

class TDesktopFrameWidget final : public QWidget, public IFrameView {
    Q_OBJECT

public:
    explicit TDesktopFrameWidget(QWidget* parent = nullptr);

    void SetDesktopView(TRemoteDesktopView* view);
    // The panel that holds the remote desktop: the parent of windows that must
    // sit over the desktop (the input-method window).
    QWidget* DesktopPanel() const;
    TFrameToolBar* ToolBar() const { return toolbar_; }
    QMenu* DeviceMenu() const { return menu_; }

    // IFrameView
    void SetFrameEvents(IFrameEvents* events) override;
    void ApplyToolbarLayout(const TToolbarLayout& layout) override;
    TRect ToolbarRect() const override;
    void SetToolbarTop(int32_t top, bool raise) override;
    bool HoldChecked() const override;
    TRect WindowRect() const override;
    TRect PanelRect() const override;
    TRect ViewRect() const override;
    bool WindowStateNormal() const override;
    void SetWindowMaximized(bool maximized) override;
    void MinimizeWindow() override;
    void SetPanelCursor(TFrameCursor cursor) override;
    void StartSystemMove() override;
    void StartSystemResize(uint32_t edges) override;
    bool PointerButtonDown() const override;
    void ShowDeviceMenu(const std::vector<TDeviceMenuItem>& items) override;
    bool DeviceMenuOpen() const override;
    void CenterOnMonitor(int index) override;
    void FollowViewSize() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void PlaceChildren();

    IFrameEvents* events_ = nullptr;
    TDesktopPanel* panel_;
    TFrameToolBar* toolbar_;
    QMenu* menu_;
    TRemoteDesktopView* view_ = nullptr;
    TToolbarLayout layout_;
    QPointer<QObject> watchedWindow_;  // where every pointer move of the window passes
};

}  // namespace kiv
