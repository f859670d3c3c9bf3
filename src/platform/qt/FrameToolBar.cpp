#include "platform/qt/FrameToolBar.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include "platform/qt/FrameGlyphs.h"
#include "session/ToolbarLayout.h"

namespace kiv {

namespace {

const QColor kBarColor(0x2B, 0x3A, 0x4B);
const QColor kGlyphColor(0xF2, 0xF4, 0xF7);
const QColor kEdgeColor(0x8A, 0x9B, 0xAE);
constexpr int kGlyphButton = 16;
constexpr int kHoldButton = 20;
constexpr int kButtonTop = 8;
// Distances of the right-hand buttons' left edges to the bar's right edge.
constexpr int kMenuFromRight = kToolbarDesignWidth - 352;
constexpr int kMinFromRight = kToolbarDesignWidth - 384;
constexpr int kMaxFromRight = kToolbarDesignWidth - 408;
constexpr int kCloseFromRight = kToolbarDesignWidth - 432;
constexpr int kCaptionLeft = 32;

}  // namespace

TFrameToolBar::TFrameToolBar(QWidget* parent) : QFrame(parent) {
    setObjectName("pnlToolBar");
    setFixedHeight(kToolbarHeight);
    setAutoFillBackground(true);
    QPalette colors = palette();
    colors.setColor(QPalette::Window, kBarColor);
    colors.setColor(QPalette::WindowText, kGlyphColor);
    colors.setColor(QPalette::Button, kBarColor);
    colors.setColor(QPalette::ButtonText, kGlyphColor);
    setPalette(colors);
    SetPanelBorders(false);

    lblCaption_ = new QLabel(this);
    lblCaption_->setObjectName("lblCaption");
    // Presses on the title drag the window like presses on the bar.
    lblCaption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblCaption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    btnHold_ = new QToolButton(this);
    btnHold_->setObjectName("btnHold");
    btnHold_->setCheckable(true);
    btnHold_->setAutoRaise(true);
    btnHold_->setIcon(ToolbarGlyph(TToolbarGlyph::Pin, kGlyphColor, kGlyphButton));
    btnHold_->setGeometry(8, 6, kHoldButton, kHoldButton);
    btnHold_->setFocusPolicy(Qt::NoFocus);

    btnMenu_ = Button("btnMenu", kGlyphButton, ToolbarGlyph(TToolbarGlyph::Devices, kGlyphColor, 14),
                      &IFrameEvents::OnBtnMenuClick);
    btnMin_ = Button("btnMin", kGlyphButton, ToolbarGlyph(TToolbarGlyph::Minimize, kGlyphColor, 14),
                     &IFrameEvents::OnBtnMinClick);
    btnMax_ = Button("btnMax", kGlyphButton, ToolbarGlyph(TToolbarGlyph::Maximize, kGlyphColor, 14),
                     &IFrameEvents::OnBtnMaxClick);
    btnClose_ = Button("btnClose", kGlyphButton, ToolbarGlyph(TToolbarGlyph::Close, kGlyphColor, 14),
                       &IFrameEvents::OnBtnCloseClick);
}

QToolButton* TFrameToolBar::Button(const char* name, int size, const QIcon& icon, void (IFrameEvents::*click)()) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(size - 2, size - 2));
    button->resize(size, size);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, click] {
        if (events_) (events_->*click)();
    });
    return button;
}

void TFrameToolBar::SetCaption(const QString& caption) { lblCaption_->setText(caption); }

void TFrameToolBar::SetHints(const TToolbarHints& hints) {
    btnHold_->setToolTip(QString::fromStdString(hints.hold));
    btnMenu_->setToolTip(QString::fromStdString(hints.menu));
    btnMin_->setToolTip(QString::fromStdString(hints.minimize));
    btnMax_->setToolTip(QString::fromStdString(hints.maximize));
    btnClose_->setToolTip(QString::fromStdString(hints.close));
}

void TFrameToolBar::SetPanelBorders(bool borders) {
    setFrameShape(borders ? QFrame::Box : QFrame::NoFrame);
    setLineWidth(borders ? 1 : 0);
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, borders ? kEdgeColor : kGlyphColor);
    setPalette(colors);
}

bool TFrameToolBar::HoldChecked() const { return btnHold_->isChecked(); }

void TFrameToolBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    const int right = width();
    btnMenu_->move(right - kMenuFromRight, kButtonTop);
    btnMin_->move(right - kMinFromRight, kButtonTop);
    btnMax_->move(right - kMaxFromRight, kButtonTop);
    btnClose_->move(right - kCloseFromRight, kButtonTop);
    lblCaption_->setGeometry(kCaptionLeft, 0, std::max(0, right - kMenuFromRight - kCaptionLeft - 8), height());
    QPalette text = lblCaption_->palette();
    text.setColor(QPalette::WindowText, kGlyphColor);
    lblCaption_->setPalette(text);
}

void TFrameToolBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
    event->accept();
}

void TFrameToolBar::mouseMoveEvent(QMouseEvent* event) {
    // The window manager takes the pointer once a move starts, so the move
    // waits until the pointer really drags: a double click stays ours.
    if (pressedAt_ && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - *pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
        const QPoint at = *pressedAt_;
        pressedAt_.reset();
        if (events_) events_->OnToolbarMouseDown(at.x(), at.y());
    }
    event->accept();
}

void TFrameToolBar::mouseReleaseEvent(QMouseEvent* event) {
    pressedAt_.reset();
    event->accept();
}

void TFrameToolBar::mouseDoubleClickEvent(QMouseEvent* event) {
    pressedAt_.reset();
    if (event->button() == Qt::LeftButton && events_) events_->OnToolbarDoubleClick();
    event->accept();
}

}  // namespace kiv
