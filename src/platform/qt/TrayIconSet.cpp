#include "platform/qt/TrayIconSet.h"

#include <QApplication>
#include <QCursor>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include "platform/qt/FallbackTrayIcon.h"
#include "platform/qt/TaskbarWindowSet.h"  // ToQImage
#include "platform/qt/X11Atoms.h"
#include "platform/qt/XEmbedTray.h"
#include "platform/qt/XEmbedTrayIcon.h"

namespace kiv {

TQtTrayIcons::TQtTrayIcons() : xembed_(TXEmbedTray::Create()) {
    if (xembed_) xembed_->onNewTray = [this] { OnNewTray(); };
}

TQtTrayIcons::~TQtTrayIcons() {
    icons_.clear();
    retired_.clear();
}

TTrayIconKey TQtTrayIcons::CreateTrayIcon() {
    const TTrayIconKey key = nextKey_++;
    auto report = [this, key](TTrayButton button, bool down, QPoint screen) { Report(key, button, down, screen); };
    const bool xembed = xembed_ && (xembed_->Owner() != XCB_WINDOW_NONE || !QSystemTrayIcon::isSystemTrayAvailable());
    if (xembed) icons_[key] = std::make_unique<TXEmbedTrayIcon>(*xembed_, report);
    else icons_[key] = std::make_unique<TFallbackTrayIcon>(report);
    return key;
}

void TQtTrayIcons::SetTrayIconImage(TTrayIconKey icon, const TTrayIconImage& image) {
    const auto found = icons_.find(icon);
    if (found == icons_.end()) return;
    std::vector<QImage> images;
    for (const TIconImage& one : image.images)
        if (QImage converted = ToQImage(one); !converted.isNull()) images.push_back(converted);
    if (!images.empty()) found->second->SetImages(images);
}

void TQtTrayIcons::SetTrayIconTooltip(TTrayIconKey icon, const std::string& tooltip) {
    if (const auto found = icons_.find(icon); found != icons_.end())
        found->second->SetTooltip(QString::fromUtf8(tooltip.data(), static_cast<qsizetype>(tooltip.size())));
}

void TQtTrayIcons::DestroyTrayIcon(TTrayIconKey icon) {
    const auto found = icons_.find(icon);
    if (found == icons_.end()) return;
    found->second->Remove();
    // The handler may remove an icon while one of its events is being
    // reported: the object goes when that is over.
    retired_.push_back(std::move(found->second));
    icons_.erase(found);
    QTimer::singleShot(0, this, &TQtTrayIcons::DeleteRetired);
}

void TQtTrayIcons::DeleteRetired() { retired_.clear(); }

TLocalTrayIcon* TQtTrayIcons::Icon(TTrayIconKey icon) const {
    const auto found = icons_.find(icon);
    return found == icons_.end() ? nullptr : found->second.get();
}

void TQtTrayIcons::Report(TTrayIconKey icon, TTrayButton button, bool down, QPoint screen) {
    if (sink_ == nullptr || icons_.count(icon) == 0) return;
    eventAt_ = screen;
    if (down) sink_->OnTrayButtonDown(icon, button);
    else sink_->OnTrayButtonUp(icon, button);
    eventAt_.reset();
}

void TQtTrayIcons::OnNewTray() {
    for (auto& [key, icon] : icons_)
        if (auto* xembed = dynamic_cast<TXEmbedTrayIcon*>(icon.get())) xembed->Redock();
}

TTrayPoint TQtTrayIcons::CursorPos() const {
    const QPoint at = eventAt_.value_or(QCursor::pos());
    return TTrayPoint{at.x(), at.y()};
}

bool TQtTrayIcons::ActivateDesktopWindow() { return kiv::ActivateDesktopWindow(); }

void TQtTrayIcons::BringApplicationToFront() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && !window->isMinimized()) window->raise();
}

}  // namespace kiv
