#include "platform/qt/QtImeWindows.h"

#include <QClipboard>
#include <QGuiApplication>

#include "platform/qt/ImeWindowWidget.h"
#include "platform/qt/TaskbarWindowClip.h"

namespace kiv {

namespace {

// The window as the logic holds it; the widget may go with its parent first.
class TQtImeWindowView final : public IImeWindowView {
public:
    explicit TQtImeWindowView(TImeWindowWidget* widget) : widget_(widget) {}
    ~TQtImeWindowView() override { delete widget_.data(); }

    uint64_t Handle() const override {
        // A see-through child has no X window of its own: the video display
        // draws into the window the input-method window lies in.
        return widget_ ? static_cast<uint64_t>(widget_->window()->winId()) : 0;
    }
    void TakeFocus() override {
        if (!widget_) return;
        widget_->raise();
        widget_->setFocus(Qt::OtherFocusReason);
    }
    void Activate() override {
        if (!widget_) return;
        widget_->window()->raise();
        widget_->window()->activateWindow();
        TakeFocus();
    }
    void SetCaretRect(const TRect& caret) override {
        if (widget_) widget_->SetCaretRect(QRect(caret.x, caret.y, caret.width, caret.height));
    }
    void SetNativeInput(bool enabled) override {
        if (widget_) widget_->SetNativeInput(enabled);
    }
    void PostFlush() override {
        if (widget_) widget_->PostFlush();
    }
    std::u16string ClipboardText() const override {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        return clipboard ? clipboard->text().toStdU16String() : std::u16string();
    }
    TRect ViewRect() const override {
        QWidget* view = widget_ ? widget_->View() : nullptr;
        if (!view || !widget_->parentWidget()) return TRect{};
        const QPoint at = view->mapTo(widget_->window(), QPoint(0, 0)) -
                          widget_->parentWidget()->mapTo(widget_->window(), QPoint(0, 0));
        return TRect{at.x(), at.y(), view->width(), view->height()};
    }
    void MoveTo(const TRect& rect) override {
        if (widget_) widget_->setGeometry(rect.x, rect.y, rect.width, rect.height);
    }

private:
    QPointer<TImeWindowWidget> widget_;
};

}  // namespace

TQtImeWindows::TQtImeWindows(QWidget& sessionWindow, QWidget& view, TQtSeamlessSurface* surface, bool opaque)
    : session_(&sessionWindow), view_(&view), surface_(surface), opaque_(opaque) {}

std::unique_ptr<IImeWindowView> TQtImeWindows::CreateImeWindow(IImeWindowEvents& events, bool seamless) {
    if (!view_ || !session_) return nullptr;
    QWidget* parent = seamless ? session_.data() : view_->parentWidget();
    if (!parent) return nullptr;
    auto* widget = new TImeWindowWidget(parent, view_, events, opaque_);
    auto window = std::make_unique<TQtImeWindowView>(widget);
    widget->show();
    widget->raise();
    if (surface_) surface_->SetImeWindow(widget);
    return window;
}

}  // namespace kiv
