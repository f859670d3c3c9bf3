#pragma once
// The progress dialog as the session sees it, built when it is first shown and
// then a turn of the event loop later: the set-up asks for the dialog just
// before it starts the connection, so its widgets, its picture and the fonts
// are made while the connection is under way instead of before it. What the
// session sets is kept here and handed to the dialog whenever it is built.
// Once the session has hidden it (the connection is up), the dialog is
// destroyed a turn later, so its widgets, picture and window store do not stay
// for the whole session; shown again, it is built again where it was.
#include <QObject>
#include <QPoint>
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
    TStepInfoDialog* Dialog() const { return dialog_.get(); }  // none until shown, none once hidden

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
    void Drop();
    void PostDrop();

    QPointer<QWidget> parent_;
    std::unique_ptr<TStepInfoDialog> dialog_;
    std::function<void()> onCancel_;
    std::optional<std::pair<std::string, std::string>> caption_;
    std::optional<std::string> cancelCaption_;
    std::optional<std::string> banner_;
    std::optional<std::string> status_;
    std::optional<QPoint> place_;  // where the last dialog was: the next one shows there
    int32_t position_ = 0;
    bool logonLook_ = false;
    bool wanted_ = false;       // shown as far as the session knows
    bool buildPosted_ = false;
    bool dropPosted_ = false;
    int inCancel_ = 0;          // the cancel handler runs: its button must outlive it
};

}  // namespace kiv
