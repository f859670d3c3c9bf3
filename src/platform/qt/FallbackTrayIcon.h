#pragma once
// A tray icon through QSystemTrayIcon, for desktops without an XEmbed tray
// (a StatusNotifierItem host). Such a tray reports activations only, never a
// button going down or up: each activation is reported as a down and an up of
// its button at the pointer's position.
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <optional>

#include "platform/qt/LocalTrayIcon.h"

namespace kiv {

// The button an activation stands for; nullopt for none.
std::optional<TTrayButton> ButtonOfActivation(QSystemTrayIcon::ActivationReason reason);

class TFallbackTrayIcon final : public QObject, public TLocalTrayIcon {
    Q_OBJECT

public:
    explicit TFallbackTrayIcon(TButtonReport report);
    ~TFallbackTrayIcon() override;

    void SetImages(const std::vector<QImage>& images) override;
    void SetTooltip(const QString& text) override;
    void Remove() override;

    QSystemTrayIcon* Icon() const { return icon_; }

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    TButtonReport report_;
    QPointer<QSystemTrayIcon> icon_;
};

}  // namespace kiv
