#include "platform/qt/SessionEndWatcher.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QSessionManager>

namespace kiv {

TSessionEndWatcher::TSessionEndWatcher(std::function<void()> onSessionEnd, std::function<void()> onSuspend)
    : onSessionEnd_(std::move(onSessionEnd)), onSuspend_(std::move(onSuspend)) {
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (onSessionEnd_) onSessionEnd_();
    });
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected())
        watchingSleep_ = bus.connect("org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                                     SLOT(OnPrepareForSleep(bool)));
}

void TSessionEndWatcher::OnPrepareForSleep(bool start) {
    if (start && onSuspend_) onSuspend_();
}

}  // namespace kiv
