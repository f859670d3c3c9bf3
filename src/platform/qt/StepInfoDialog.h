#pragma once
// The progress dialog's window: a borderless 309 x 168 box with the caption
// strip, the banner, the status line, the progress bar and the cancel button.
// TfrmStepInfo decides what it shows and when.
#include <QWidget>

#include <functional>

#include "ports/ProgressView.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kiv {

class THeaderPanel;

class TStepInfoDialog final : public QWidget, public IProgressView {
    Q_OBJECT
public:
    static constexpr int kWidth = 309;
    static constexpr int kHeight = 168;
    // 15658734 and 10105600 as the form wrote them, blue in the high byte.
    static QColor LogonColor() { return QColor(238, 238, 238); }
    static QColor SeparatorColor() { return QColor(0x00, 0x34, 0x9a); }

    explicit TStepInfoDialog(QWidget* parent = nullptr);

    // The session window asks the user before it ends the session.
    void SetOnCancel(std::function<void()> onCancel) { onCancel_ = std::move(onCancel); }

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

    THeaderPanel* Header() const { return header_; }
    // Shown there from now on instead of centred (a dialog made again where the last one was).
    void PlaceAt(const QPoint& topLeft);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CenterOnScreen();

    THeaderPanel* header_;
    QWidget* bannerPanel_;
    QLabel* banner_;
    QWidget* separator_;
    QLabel* status_;
    QLabel* icon_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    std::function<void()> onCancel_;
    bool placed_ = false;
};

}  // namespace kiv
