#include "platform/qt/QtMainLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace kiv {

TQtMainLoop::TQtMainLoop() : alive_(std::make_shared<std::atomic<bool>>(true)) {
    receiver_ = new QObject;
    if (QCoreApplication* app = QCoreApplication::instance(); app && receiver_->thread() != app->thread())
        receiver_->moveToThread(app->thread());
}

TQtMainLoop::~TQtMainLoop() {
    alive_->store(false);
    QObject* receiver = nullptr;
    {
        // After this no Post can reach the receiver any more.
        std::lock_guard lock(receiverMutex_);
        receiver = receiver_;
        receiver_ = nullptr;
    }
    // Deleting the receiver on its own thread discards the calls still queued for it;
    // from another thread only its own event loop may delete it, and the flag keeps
    // the tasks queued until then from running.
    if (receiver->thread() == QThread::currentThread())
        delete receiver;
    else
        receiver->deleteLater();
}

void TQtMainLoop::Post(std::function<void()> task) {
    if (!task) return;
    std::lock_guard lock(receiverMutex_);
    if (!receiver_) return;
    QMetaObject::invokeMethod(
        receiver_,
        [alive = alive_, task = std::move(task)]() {
            if (alive->load()) task();
        },
        Qt::QueuedConnection);
}

}  // namespace kiv
