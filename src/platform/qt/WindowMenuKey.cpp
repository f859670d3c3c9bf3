#include "platform/qt/WindowMenuKey.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace kiv {

namespace {

constexpr Qt::KeyboardModifiers kModifiers = Qt::AltModifier | Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kConsidered = Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier | Qt::MetaModifier;

}  // namespace

TWindowMenuKey::TWindowMenuKey(QWidget& sessionWindow, std::function<bool()> open)
    : window_(&sessionWindow), open_(std::move(open)) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool TWindowMenuKey::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType() || !window_)
        return false;
    if (static_cast<QWidget*>(watched)->window() != window_) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space) return false;
    if (type == QEvent::KeyRelease) {
        if (!releaseTaken_ || key->isAutoRepeat()) return releaseTaken_;
        releaseTaken_ = false;
        return true;
    }
    if ((key->modifiers() & kConsidered) != kModifiers) return false;
    if (key->isAutoRepeat()) return releaseTaken_;
    releaseTaken_ = open_ && open_();
    return releaseTaken_;
}

}  // namespace kiv
