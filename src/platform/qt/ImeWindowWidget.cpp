#include "platform/qt/ImeWindowWidget.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

namespace kiv {

TImeWindowWidget::TImeWindowWidget(QWidget* parent, QWidget* view, IImeWindowEvents& events, bool opaque)
    : QWidget(parent), view_(view), events_(events) {
    setObjectName("frmImeWindow");
    setAccessibleName(QStringLiteral("VynClient Input IME"));
    setAttribute(Qt::WA_InputMethodEnabled);
    // The mouse and the cursor are the view's: clicks pass through to it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::StrongFocus);
    if (opaque) {
        setAutoFillBackground(true);
    } else {
        setAttribute(Qt::WA_NoSystemBackground);
    }
    // A click on the view gives the focus here.
    if (view_) {
        view_->setFocusProxy(this);
        view_->installEventFilter(this);
    }
    FollowView();
}

void TImeWindowWidget::FollowView() {
    if (!view_ || !parentWidget()) return;
    const QPoint at = view_->mapTo(window(), QPoint(0, 0)) - parentWidget()->mapTo(window(), QPoint(0, 0));
    setGeometry(QRect(at, view_->size()));
}

bool TImeWindowWidget::eventFilter(QObject* watched, QEvent* event) {
    // The window covers the view wherever the view goes.
    if (watched == view_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) FollowView();
    return QWidget::eventFilter(watched, event);
}

TImeWindowWidget::~TImeWindowWidget() {
    if (!view_ || view_->focusProxy() != this) return;
    const bool hadFocus = hasFocus();
    view_->setFocusProxy(nullptr);
    if (hadFocus) view_->setFocus(Qt::OtherFocusReason);
}

void TImeWindowWidget::SetCaretRect(const QRect& caret) {
    caret_ = caret;
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

void TImeWindowWidget::SetNativeInput(bool enabled) {
    nativeInput_ = enabled;
    setAttribute(Qt::WA_InputMethodEnabled, enabled);
    if (!hasFocus()) return;
    // A composition under way does not carry over into the password field.
    if (!enabled) {
        QGuiApplication::inputMethod()->reset();
        preedit_.clear();
        update();
    }
    QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

void TImeWindowWidget::PostFlush() {
    QMetaObject::invokeMethod(this, [this] { events_.OnFlush(); }, Qt::QueuedConnection);
}

QVariant TImeWindowWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled: return nativeInput_;
        case Qt::ImCursorRectangle: return caret_;
        case Qt::ImHints:
            return static_cast<int>(nativeInput_ ? Qt::ImhNone
                                                 : Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                                                       Qt::ImhNoAutoUppercase);
        case Qt::ImSurroundingText: return QString();
        case Qt::ImCursorPosition:
        case Qt::ImAnchorPosition: return 0;
        default: return QWidget::inputMethodQuery(query);
    }
}

bool TImeWindowWidget::event(QEvent* event) {
    // Every key belongs to the session: no shortcut, no default button takes it.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

bool TImeWindowWidget::focusNextPrevChild(bool) {
    // Tab goes to the session, not to the next widget.
    return false;
}

void TImeWindowWidget::keyPressEvent(QKeyEvent* event) { OnKey(event); }

void TImeWindowWidget::keyReleaseEvent(QKeyEvent* event) { OnKey(event); }

void TImeWindowWidget::OnKey(QKeyEvent* event) {
    TImeKey key;
    key.press = event->type() == QEvent::KeyPress;
    key.altKey = event->key() == Qt::Key_Alt;
    // A key the input method made up has no key of the keyboard behind it.
    key.fromKeyboard = event->nativeScanCode() != 0;
    key.code = event->nativeScanCode();
    const QString text = event->text();
    if (!text.isEmpty()) key.character = text.at(0).isHighSurrogate() && text.size() > 1
                                             ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                                             : text.at(0).unicode();
    if (events_.OnKey(key)) {
        event->accept();
        return;
    }
    if (view_) QCoreApplication::sendEvent(view_, event);
    event->accept();
}

void TImeWindowWidget::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) events_.OnCommit(event->commitString().toStdU16String());
    events_.OnComposing(!event->preeditString().isEmpty());
    if (preedit_ != event->preeditString()) {
        preedit_ = event->preeditString();
        update();
    }
    event->accept();
}

void TImeWindowWidget::paintEvent(QPaintEvent*) {
    if (preedit_.isEmpty()) return;
    // The session cannot show a composition it never sees: it is drawn here,
    // where the server's caret stands, until the input method commits it.
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect box(caret_.topLeft(), QSize(metrics.horizontalAdvance(preedit_) + 4, std::max(caret_.height(), metrics.height())));
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(box.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, preedit_);
    painter.drawLine(box.bottomLeft(), box.bottomRight());
}

void TImeWindowWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (view_) QCoreApplication::sendEvent(view_, event);
}

void TImeWindowWidget::focusOutEvent(QFocusEvent* event) {
    events_.OnComposing(false);
    preedit_.clear();
    update();
    QWidget::focusOutEvent(event);
    // The view lets go of the keys it holds, as it would losing the focus itself.
    if (view_) QCoreApplication::sendEvent(view_, event);
}

}  // namespace kiv
