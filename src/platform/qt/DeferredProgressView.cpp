#include "platform/qt/DeferredProgressView.h"

#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "platform/qt/StepInfoDialog.h"

namespace kiv {

TDeferredProgressView::TDeferredProgressView(QWidget* parent) : parent_(parent) {}

TDeferredProgressView::~TDeferredProgressView() = default;

void TDeferredProgressView::SetOnCancel(std::function<void()> onCancel) { onCancel_ = std::move(onCancel); }

// Every value is kept, built or not: a dialog made again shows what the session set.
void TDeferredProgressView::SetCaption(const std::string& windowCaption, const std::string& headerCaption) {
    caption_ = {windowCaption, headerCaption};
    if (dialog_) dialog_->SetCaption(windowCaption, headerCaption);
}

void TDeferredProgressView::SetCancelCaption(const std::string& caption) {
    cancelCaption_ = caption;
    if (dialog_) dialog_->SetCancelCaption(caption);
}

void TDeferredProgressView::SetBanner(const std::string& picturePath) {
    banner_ = picturePath;
    if (dialog_) dialog_->SetBanner(picturePath);
}

void TDeferredProgressView::SetStatusText(const std::string& text) {
    status_ = text;
    if (dialog_) dialog_->SetStatusText(text);
}

void TDeferredProgressView::SetPosition(int32_t position) {
    position_ = std::clamp(position, 0, 100);  // as the bar keeps it
    if (dialog_) dialog_->SetPosition(position);
}

int32_t TDeferredProgressView::Position() const { return dialog_ ? dialog_->Position() : position_; }

void TDeferredProgressView::ShowLogonLook() {
    logonLook_ = true;
    if (dialog_) dialog_->ShowLogonLook();
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
    if (!dialog_) return;
    dialog_->HideDialog();
    // A step hides and shows it again at once: it goes only if it is still hidden a turn later.
    PostDrop();
}

void TDeferredProgressView::Repaint() {
    if (dialog_) dialog_->Repaint();
}

void TDeferredProgressView::Build() {
    buildPosted_ = false;
    if (dialog_ || !wanted_) return;
    // Stays above the session window, as its child.
    dialog_ = std::make_unique<TStepInfoDialog>(parent_.data());
    dialog_->SetOnCancel([this] {
        if (!onCancel_) return;
        ++inCancel_;
        onCancel_();
        --inCancel_;
        if (!wanted_) PostDrop();
    });
    if (caption_) dialog_->SetCaption(caption_->first, caption_->second);
    if (cancelCaption_) dialog_->SetCancelCaption(*cancelCaption_);
    if (banner_) dialog_->SetBanner(*banner_);
    if (status_) dialog_->SetStatusText(*status_);
    dialog_->SetPosition(position_);
    if (logonLook_) dialog_->ShowLogonLook();
    if (place_) dialog_->PlaceAt(*place_);
    dialog_->ShowDialog();
}

void TDeferredProgressView::PostDrop() {
    if (dropPosted_) return;
    dropPosted_ = true;
    QTimer::singleShot(0, this, [this] { Drop(); });
}

void TDeferredProgressView::Drop() {
    dropPosted_ = false;
    // Not while its cancel button's handler runs (a question the user answers
    // runs the loop): that handler posts this again when it returns.
    if (!dialog_ || wanted_ || inCancel_ > 0) return;
    position_ = dialog_->Position();
    place_ = dialog_->pos();
    dialog_.reset();
}

}  // namespace kiv
