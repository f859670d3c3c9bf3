#pragma once
// The progress dialog as the session sees it, built when it is first shown and
// then a turn of the event loop later: the set-up asks for the dialog just
// before it starts the connection, so its widgets, its picture and the fonts
// are made while the connection is under way instead of before it. What the
// session sets before then is kept and handed to the dialog when it is built.
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "ports/ProgressView.h"

class QWidget;

namespace kiv {

class TStepInfoDialog;

class TDeferredProgressView final : public QObject, public IProgressView {
public:
    explicit TDeferredProgressView(QWidget* parent);
    ~TDeferredProgressView() override;

    void SetOnCancel(std::function<void()> onCancel);
    TStepInfoDialog* Dialog() const { return dialog_.get(); }  // none until first shown

    void SetCaption(const std::string& windowCaption, const std::string& headerCaption) override;
    void SetCancelCaption(const std::string& caption) override;
    void SetBanner(const std::string& picturePath) override;
    void SetStatusText(const std::string& text) override;
    void SetPosition(int32_t position) override;
    int32_t Position() const override;
    void ShowLogonLook() override;
    void ShowDialog() override;
    void HideDialog() override;
    void Repaint() override;

private:
    void Build();

    QPointer<QWidget> parent_;
    std::unique_ptr<TStepInfoDialog> dialog_;
    std::function<void()> onCancel_;
    std::optional<std::pair<std::string, std::string>> caption_;
    std::optional<std::string> cancelCaption_;
    std::optional<std::string> banner_;
    std::optional<std::string> status_;
    int32_t position_ = 0;
    bool logonLook_ = false;
    bool wanted_ = false;       // shown as far as the session knows
    bool buildPosted_ = false;
};

}  // namespace kiv
