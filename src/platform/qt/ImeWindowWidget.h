#pragma once
// The input-method window on Qt: a see-through child laid over the
// remote-desktop view that holds the keyboard focus in its place (the view's
// focus proxy). Keys go on to the view unless the logic takes them as text;
// the mouse passes through to the view; what the input method composes is
// handed to the logic. It answers the input method's questions with the
// server's caret and, in a password field, with "no input method here".
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "ports/ImeWindowView.h"

namespace kiv {

class TImeWindowWidget final : public QWidget {
    Q_OBJECT

public:
    // opaque: vdebug.ini showrdp 0, the window hides the session below it.
    TImeWindowWidget(QWidget* parent, QWidget* view, IImeWindowEvents& events, bool opaque);
    ~TImeWindowWidget() override;

    void SetCaretRect(const QRect& caret);
    void SetNativeInput(bool enabled);
    bool NativeInput() const { return nativeInput_; }
    const QRect& CaretRect() const { return caret_; }
    void PostFlush();
    QWidget* View() const { return view_; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnKey(QKeyEvent* event);
    void FollowView();

    QPointer<QWidget> view_;
    IImeWindowEvents& events_;
    QRect caret_;
    QString preedit_;  // what the input method composes, shown at the caret
    bool nativeInput_ = true;
};

}  // namespace kiv
