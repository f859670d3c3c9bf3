#pragma once
// Timers of the GUI thread on QTimer. Precise timers: the progress animation and
// the session's time-outs count in steps of their own interval.
#include "ports/Timer.h"

namespace kiv {

class TQtTimerFactory final : public ITimerFactory {
public:
    // Needs the QApplication; timers fire on the thread that creates them.
    std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTimeout) override;
    std::chrono::system_clock::time_point Now() const override { return std::chrono::system_clock::now(); }
};

}  // namespace kiv
