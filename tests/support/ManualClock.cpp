#include "support/ManualClock.h"

#include <algorithm>

namespace kiv::test {

class ManualClock::Timer : public ITimer {
public:
    Timer(ManualClock& clock, std::shared_ptr<Entry> entry) : clock_(clock), entry_(std::move(entry)) {}
    ~Timer() override { entry_->alive = false; }
    void Start(int intervalMs) override {
        entry_->interval = std::max(intervalMs, 1);
        entry_->due = clock_.now_ + std::chrono::milliseconds(entry_->interval);
        entry_->active = true;
    }
    void Stop() override { entry_->active = false; }
    bool Active() const override { return entry_->active; }

private:
    ManualClock& clock_;
    std::shared_ptr<Entry> entry_;
};

std::unique_ptr<ITimer> ManualClock::CreateTimer(std::function<void()> onTimeout) {
    auto entry = std::make_shared<Entry>();
    entry->handler = std::move(onTimeout);
    entries_.push_back(entry);
    return std::make_unique<Timer>(*this, entry);
}

void ManualClock::Advance(int milliseconds) {
    const auto end = now_ + std::chrono::milliseconds(milliseconds);
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& e : entries_)
            if (e->alive && e->active && e->due <= end && (!next || e->due < next->due)) next = e;
        if (!next) break;
        now_ = next->due;
        next->due = now_ + std::chrono::milliseconds(next->interval);  // repeats unless the handler stops it
        auto handler = next->handler;  // the handler may destroy its timer
        handler();
    }
    now_ = end;
    std::erase_if(entries_, [](const std::shared_ptr<Entry>& e) { return !e->alive; });
}

int ManualClock::ActiveTimers() const {
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(),
                                          [](const auto& e) { return e->alive && e->active; }));
}

}  // namespace kiv::test
