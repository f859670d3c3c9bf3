#include "platform/qt/FallbackTrayIcon.h"

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace kiv {

std::optional<TTrayButton> ButtonOfActivation(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::DoubleClick:  // comes after the Trigger of its first click
            return TTrayButton::Left;
        case QSystemTrayIcon::Context:
            return TTrayButton::Right;
        case QSystemTrayIcon::MiddleClick:
            return TTrayButton::Middle;
        case QSystemTrayIcon::Unknown:
            break;
    }
    return std::nullopt;
}

TFallbackTrayIcon::TFallbackTrayIcon(TButtonReport report)
    : report_(std::move(report)), icon_(new QSystemTrayIcon()) {
    connect(icon_, &QSystemTrayIcon::activated, this, &TFallbackTrayIcon::OnActivated);
}

TFallbackTrayIcon::~TFallbackTrayIcon() { Remove(); }

void TFallbackTrayIcon::SetImages(const std::vector<QImage>& images) {
    if (!icon_) return;
    QIcon icon;
    for (const QImage& image : images) icon.addPixmap(QPixmap::fromImage(image));
    icon_->setIcon(icon);
    icon_->show();
}

void TFallbackTrayIcon::SetTooltip(const QString& text) {
    if (icon_) icon_->setToolTip(text);
}

void TFallbackTrayIcon::Remove() {
    if (!icon_) return;
    icon_->hide();
    // Possibly from inside its own activation signal.
    icon_->deleteLater();
    icon_ = nullptr;
}

void TFallbackTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    const std::optional<TTrayButton> button = ButtonOfActivation(reason);
    if (!button) return;
    // The tray gives no position of its own.
    const QPoint at = QCursor::pos();
    const TButtonReport report = report_;  // this icon may be removed by the first report
    report(*button, true, at);
    report(*button, false, at);
}

}  // namespace kiv
