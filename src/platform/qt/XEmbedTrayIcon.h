#pragma once
// A tray icon of our own on X11: a small window docked in the system tray by
// XEmbed. It draws the image that best fits the size the tray gives it (with
// the tray's 32-bit visual when offered, otherwise over the tray's own
// background), shows its tooltip after the pointer rests on it, reports every
// press and release of the left, middle and right buttons with the pointer's
// root position, and docks again in a tray that takes over or restarts.
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <xcb/xcb.h>

#include <vector>

#include "platform/qt/LocalTrayIcon.h"

namespace kiv {

class TXEmbedTray;

class TXEmbedTrayIcon final : public TLocalTrayIcon {
public:
    TXEmbedTrayIcon(TXEmbedTray& tray, TButtonReport report);
    ~TXEmbedTrayIcon() override;
    TXEmbedTrayIcon(const TXEmbedTrayIcon&) = delete;
    TXEmbedTrayIcon& operator=(const TXEmbedTrayIcon&) = delete;

    void SetImages(const std::vector<QImage>& images) override;
    void SetTooltip(const QString& text) override;
    void Remove() override;
    // A tray took the selection: the icon docks there in a fresh window.
    void Redock();

    // The icon's window now; XCB_WINDOW_NONE while it is not docked.
    xcb_window_t Window() const { return window_; }
    bool TooltipShown() const { return tooltipShown_; }

private:
    void Dock();
    void SetProperties();
    // Lets go of the window; destroy: it still exists and is ours to destroy.
    void DropWindow(bool destroy);
    void OnEvent(const xcb_generic_event_t& event);
    void Paint();
    QImage Background();
    void Put(const QImage& canvas);
    void ShowTooltip();
    void HideTooltip();

    TXEmbedTray& tray_;
    TButtonReport report_;
    std::vector<QImage> images_;
    QString tooltip_;
    xcb_window_t window_ = XCB_WINDOW_NONE;
    xcb_gcontext_t gc_ = 0;
    xcb_colormap_t colormap_ = 0;
    uint8_t depth_ = 0;
    bool argb_ = false;
    int width_ = 0;
    int height_ = 0;
    bool removed_ = false;
    QTimer hover_;
    QPoint pointer_;
    bool tooltipShown_ = false;
};

}  // namespace kiv
