#include "platform/qt/QtTimerFactory.h"

#include <QTimer>

namespace kiv {

namespace {

class TQtTimer final : public ITimer {
public:
    explicit TQtTimer(std::function<void()> onTimeout) : timer_(new QTimer) {
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, [this, onTimeout = std::move(onTimeout), alive = alive_] {
            firing_ = true;
            onTimeout();
            // The handler may have destroyed this timer (its owner went away).
            if (*alive) firing_ = false;
        });
    }

    ~TQtTimer() override {
        *alive_ = false;
        timer_->stop();
        // A timer destroyed by its own handler is still inside its signal: let the
        // event loop delete it once the handler has returned.
        if (firing_)
            timer_->deleteLater();
        else
            delete timer_;
    }

    TQtTimer(const TQtTimer&) = delete;
    TQtTimer& operator=(const TQtTimer&) = delete;

    void Start(int intervalMs) override { timer_->start(intervalMs < 0 ? 0 : intervalMs); }
    void Stop() override { timer_->stop(); }
    bool Active() const override { return timer_->isActive(); }

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool firing_ = false;
    QTimer* timer_;
};

}  // namespace

std::unique_ptr<ITimer> TQtTimerFactory::CreateTimer(std::function<void()> onTimeout) {
    return std::make_unique<TQtTimer>(std::move(onTimeout));
}

}  // namespace kiv
