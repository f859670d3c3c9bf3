#include "session/StepInfo.h"

#include <algorithm>

#include "infra/TextRules.h"

namespace kiv {

TfrmStepInfo::TfrmStepInfo(IProgressView& view, ITimerFactory& timers)
    : view_(view), timer_(timers.CreateTimer([this] { OnTimer(); })) {}

void TfrmStepInfo::SetProgress(int32_t position, int32_t step, int32_t limit) {
    timer_->Stop();
    view_.SetPosition(std::clamp(position, 0, 100));
    progressStep_ = step;
    progressLimit_ = limit;
    timer_->Start(kAnimationIntervalMs);
    view_.Repaint();
}

void TfrmStepInfo::OnTimer() {
    if (view_.Position() > progressLimit_) {
        timer_->Stop();
        return;
    }
    // The bar never goes past 100: with a limit of 100 or more it keeps ticking.
    view_.SetPosition(std::clamp(view_.Position() + progressStep_, 0, 100));
    view_.Repaint();
}

void TfrmStepInfo::ShowStep(const std::string& name) {
    view_.HideDialog();
    if (UpperAscii(name) == "LOGON" && !logonLook_) {
        logonLook_ = true;
        view_.ShowLogonLook();
    }
    view_.ShowDialog();
}

void TfrmStepInfo::SetStatusText(const std::string& text) { view_.SetStatusText(text); }

void TfrmStepInfo::SetPosition(int32_t position) { view_.SetPosition(std::clamp(position, 0, 100)); }

void TfrmStepInfo::Close() {
    timer_->Stop();
    view_.HideDialog();
}

}  // namespace kiv
