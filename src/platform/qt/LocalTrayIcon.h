#pragma once
// One local tray icon, however the desktop shows it: docked by XEmbed in an X
// system tray (every button down and up), or through QSystemTrayIcon where
// the desktop offers nothing else (activations only).
#include <QImage>
#include <QPoint>
#include <QString>

#include <functional>
#include <vector>

#include "ports/TrayIcons.h"

namespace kiv {

class TLocalTrayIcon {
public:
    // A button went down or up on the icon; the pointer's screen position then.
    using TButtonReport = std::function<void(TTrayButton button, bool down, QPoint screen)>;

    virtual ~TLocalTrayIcon() = default;
    // Every image of the icon file; the icon shows from the first call on.
    virtual void SetImages(const std::vector<QImage>& images) = 0;
    virtual void SetTooltip(const QString& text) = 0;
    // The icon leaves the tray now; the object itself may go later.
    virtual void Remove() = 0;
};

}  // namespace kiv
