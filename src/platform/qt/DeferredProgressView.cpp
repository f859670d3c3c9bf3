#include "platform/qt/DeferredProgressView.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "platform/qt/StepInfoDialog.h"

namespace kiv {

TDeferredProgressView::TDeferredProgressView(QWidget* parent) : parent_(parent) {}

TDeferredProgressView::~TDeferredProgressView() = default;

void TDeferredProgressView::SetOnCancel(std::function<void()> onCancel) {
    onCancel_ = std::move(onCancel);
    if (dialog_) dialog_->SetOnCancel(onCancel_);
}

void TDeferredProgressView::SetCaption(const std::string& windowCaption, const std::string& headerCaption) {
    if (dialog_) dialog_->SetCaption(windowCaption, headerCaption);
    else caption_ = {windowCaption, headerCaption};
}

void TDeferredProgressView::SetCancelCaption(const std::string& caption) {
    if (dialog_) dialog_->SetCancelCaption(caption);
    else cancelCaption_ = caption;
}

void TDeferredProgressView::SetBanner(const std::string& picturePath) {
    if (dialog_) dialog_->SetBanner(picturePath);
    else banner_ = picturePath;
}

void TDeferredProgressView::SetStatusText(const std::string& text) {
    if (dialog_) dialog_->SetStatusText(text);
    else status_ = text;
}

void TDeferredProgressView::SetPosition(int32_t position) {
    if (dialog_) dialog_->SetPosition(position);
    else position_ = std::clamp(position, 0, 100);  // as the bar keeps it
}

int32_t TDeferredProgressView::Position() const { return dialog_ ? dialog_->Position() : position_; }

void TDeferredProgressView::ShowLogonLook() {
    if (dialog_) dialog_->ShowLogonLook();
    else logonLook_ = true;
}

void TDeferredProgressView::ShowDialog() {
    wanted_ = true;
    if (dialog_) {
        dialog_->ShowDialog();
        return;
    }
    if (buildPosted_) return;
    buildPosted_ = true;
    QTimer::singleShot(0, this, [this] { Build(); });
}

void TDeferredProgressView::HideDialog() {
    // Hidden before it was built: it is built at the next showing.
    wanted_ = false;
    if (dialog_) dialog_->HideDialog();
}

void TDeferredProgressView::Repaint() {
    if (dialog_) dialog_->Repaint();
}

void TDeferredProgressView::Build() {
    buildPosted_ = false;
    if (dialog_ || !wanted_) return;
    // Stays above the session window, as its child.
    dialog_ = std::make_unique<TStepInfoDialog>(parent_.data());
    dialog_->SetOnCancel(onCancel_);
    if (caption_) dialog_->SetCaption(caption_->first, caption_->second);
    if (cancelCaption_) dialog_->SetCancelCaption(*cancelCaption_);
    if (banner_) dialog_->SetBanner(*banner_);
    if (status_) dialog_->SetStatusText(*status_);
    dialog_->SetPosition(position_);
    if (logonLook_) dialog_->ShowLogonLook();
    dialog_->ShowDialog();
}

}  // namespace kiv
