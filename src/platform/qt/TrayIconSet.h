#pragma once
// The local tray icons on Qt: makes, changes and removes them by key and
// reports their buttons to the tray handler. An
// icon docks in the desktop's XEmbed tray with a window of its own (every
// button down and up); where there is none but a StatusNotifierItem host, it
// falls back to QSystemTrayIcon (activations only). With neither, it waits as
// an XEmbed icon for a tray to appear.
#include <QObject>
#include <QPoint>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ports/TrayIcons.h"

namespace kiv {

class TLocalTrayIcon;
class TXEmbedTray;

class TQtTrayIcons final : public QObject, public ITrayIcons {
    Q_OBJECT

public:
    TQtTrayIcons();
    ~TQtTrayIcons() override;

    void SetEventSink(ITrayIconEvents* sink) override { sink_ = sink; }
    TTrayIconKey CreateTrayIcon() override;
    void SetTrayIconImage(TTrayIconKey icon, const TTrayIconImage& image) override;
    void SetTrayIconTooltip(TTrayIconKey icon, const std::string& tooltip) override;
    void DestroyTrayIcon(TTrayIconKey icon) override;
    TTrayPoint CursorPos() const override;
    bool ActivateDesktopWindow() override;
    void BringApplicationToFront() override;

    // For tests and diagnostics: the icon, when there is one with that key.
    TLocalTrayIcon* Icon(TTrayIconKey icon) const;
    std::size_t Count() const { return icons_.size(); }

private:
    void Report(TTrayIconKey icon, TTrayButton button, bool down, QPoint screen);
    void OnNewTray();
    void DeleteRetired();

    std::unique_ptr<TXEmbedTray> xembed_;
    ITrayIconEvents* sink_ = nullptr;
    std::map<TTrayIconKey, std::unique_ptr<TLocalTrayIcon>> icons_;
    // Removed icons, deleted once the event that removed them is over.
    std::vector<std::unique_ptr<TLocalTrayIcon>> retired_;
    TTrayIconKey nextKey_ = 1;
    std::optional<QPoint> eventAt_;  // where the pointer was at the event being reported
};

}  // namespace kiv
