#pragma once
// The progress dialog's logic: steps, the status line, and the bar's animation
// (every 200 ms the position grows by the step until it has passed the limit).
#include <cstdint>
#include <memory>
#include <string>

#include "ports/ProgressView.h"
#include "ports/Timer.h"

namespace kiv {

class TfrmStepInfo {
public:
    static constexpr int kAnimationIntervalMs = 200;

    TfrmStepInfo(IProgressView& view, ITimerFactory& timers);

    void SetProgress(int32_t position, int32_t step, int32_t limit);
    // "Logon" (any case) switches to the logon look, which stays.
    void ShowStep(const std::string& name);
    void SetStatusText(const std::string& text);
    void SetPosition(int32_t position);
    void Repaint() { view_.Repaint(); }
    // Hides the dialog; it is not the main window.
    void Close();

    int32_t Position() const { return view_.Position(); }
    bool Animating() const { return timer_->Active(); }
    bool LogonLook() const { return logonLook_; }

private:
    void OnTimer();

    IProgressView& view_;
    std::unique_ptr<ITimer> timer_;
    int32_t progressStep_ = 0;
    int32_t progressLimit_ = 0;
    bool logonLook_ = false;
};

}  // namespace kiv
