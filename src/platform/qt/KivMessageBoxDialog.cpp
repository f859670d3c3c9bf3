#include "platform/qt/KivMessageBoxDialog.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QUrl>

#include <string>

#include "infra/LanguageStyle.h"
#include "platform/qt/DialogFont.h"
#include "platform/qt/HeaderPanel.h"
#include "platform/qt/LinkLabel.h"
#include "platform/qt/MessageGlyphs.h"

namespace kiv {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString Lookup(const char* key) {
    const TLanguageStyle* style = LanguageStyle();
    return style ? FromUtf8(style->GetText(key)) : QString();
}

void Name(QWidget* widget, const char* name) {
    widget->setObjectName(name);
    widget->setAccessibleName(name);
}

constexpr int kBodyLeft = 9;
constexpr int kBottomMargin = 9;
constexpr int kDetailWidth = 413;
constexpr int kTextLeft = 64;
constexpr int kTextWidth = 353;
constexpr int kTextWidthWithoutIcon = 400;
// The help link keeps its right edge where the design put it ("在线帮助" at 368)
// and grows to the left for longer captions.
constexpr int kHelpRight = 368 + 52;

}  // namespace

TKivMessageBoxWindow::TKivMessageBoxWindow()
    // No parent; a top-level window of its own (with its own taskbar entry),
    // above the session's windows.
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(kObjectName);
    setModal(true);
    setFixedSize(kWidth, kOpenHeight);

    header_ = new THeaderPanel(this);
    header_->setGeometry(rect());

    close_ = new QToolButton(header_);
    Name(close_, "btnClose");
    close_->setAutoRaise(true);
    close_->setGeometry(406, 5, 16, 16);
    close_->setIconSize(QSize(kCloseGlyphSize, kCloseGlyphSize));
    close_->setFocusPolicy(Qt::NoFocus);
    connect(close_, &QToolButton::clicked, this, &QDialog::reject);

    glyph_ = new QLabel(header_);
    Name(glyph_, "gphMsg");
    glyph_->setGeometry(16, 40, kMessageIconSize, kMessageIconSize);

    text_ = new QLabel(header_);
    Name(text_, "lblText");
    text_->setGeometry(kTextLeft, 40, kTextWidth, 57);
    text_->setWordWrap(true);
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Support staff copy error texts out of the box.
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    ok_ = new QPushButton(header_);
    Name(ok_, "btnOK");
    ok_->setGeometry(168, 112, 97, 25);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    showDetailed_ = new TLinkLabel(header_);
    Name(showDetailed_, "lnkShowDetailed");
    showDetailed_->move(16, 144);
    connect(showDetailed_, &TLinkLabel::clicked, this, &TKivMessageBoxWindow::ToggleDetails);

    onlineHelp_ = new TLinkLabel(header_);
    Name(onlineHelp_, "lnkOnlineHelp");
    QPalette blue = onlineHelp_->palette();
    blue.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xff));
    onlineHelp_->setPalette(blue);
    connect(onlineHelp_, &TLinkLabel::clicked, this, &TKivMessageBoxWindow::OpenOnlineHelp);

    detail_ = new QPlainTextEdit(header_);
    Name(detail_, "mmoDetail");
    detail_->setReadOnly(true);
    // Lines wrap at the pane's width, long addresses and names anywhere.
    detail_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    detail_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    PlaceDetailPane(kOpenHeight);

    ApplyDialogFont(this, DialogFont());

    // The pane starts collapsed: the window is shorter by the pane's height.
    detail_->hide();
    setFixedSize(kWidth, kOpenHeight - kDetailHeight);
    header_->setGeometry(0, 0, kWidth, kOpenHeight - kDetailHeight);

    detailCaption_ = Lookup("KivMsg_ShowDetail");
    ok_->setText(Lookup("KivMsg_Ok"));
    onlineHelp_->setText(Lookup("KivMsg_OnlineHelp"));
    showDetailed_->setText(detailCaption_ + ">>>");
    onlineUrl_ = Lookup("KivMsg_OnlineURL");
    showDetailed_->adjustSize();
    onlineHelp_->adjustSize();
    onlineHelp_->move(kHelpRight - onlineHelp_->width(), 144);

    connect(header_, &THeaderPanel::SchemeChanged, this, &TKivMessageBoxWindow::UpdateCloseGlyph);
    header_->ApplyColorScheme();
    UpdateCloseGlyph();
}

void TKivMessageBoxWindow::UpdateCloseGlyph() {
    close_->setIcon(QIcon(CloseGlyph(header_->Colors().caption, devicePixelRatioF())));
}

void TKivMessageBoxWindow::Fill(const TMessageBoxContent& content) {
    const QString caption = FromUtf8(content.caption);
    header_->SetCaption(caption);
    setWindowTitle(caption);
    setAccessibleName(caption);

    text_->setText(FromUtf8(content.text));
    text_->setAccessibleDescription(text_->text());

    if (content.iconIndex == kNoIcon) {
        glyph_->hide();
        text_->setGeometry(glyph_->x(), text_->y(), kTextWidthWithoutIcon, text_->height());
    } else {
        glyph_->setPixmap(MessageIcon(content.iconIndex, devicePixelRatioF()));
        glyph_->show();
        text_->setGeometry(kTextLeft, text_->y(), kTextWidth, text_->height());
    }

    QStringList lines;
    for (const std::string& line : content.detailLines) lines << FromUtf8(line);
    detail_->setPlainText(lines.join('\n'));
}

bool TKivMessageBoxWindow::DetailsShown() const { return !detail_->isHidden(); }

void TKivMessageBoxWindow::ToggleDetails() {
    if (DetailsShown()) {
        setFixedSize(width(), height() - kDetailHeight);
        header_->setGeometry(rect());
        showDetailed_->setText(detailCaption_ + ">>>");
        detail_->hide();
    } else {
        const int open = height() + kDetailHeight;
        setFixedSize(width(), open);
        header_->setGeometry(0, 0, width(), open);
        PlaceDetailPane(open);
        showDetailed_->setText("<<<" + detailCaption_);
        detail_->show();
    }
    showDetailed_->adjustSize();
}

void TKivMessageBoxWindow::OpenOnlineHelp() {
    // Without a help address in the language file the link does nothing.
    if (onlineUrl_.isEmpty()) return;
    QDesktopServices::openUrl(QUrl::fromUserInput(onlineUrl_));
}

void TKivMessageBoxWindow::resizeEvent(QResizeEvent* event) {
    header_->setGeometry(rect());
    PlaceDetailPane(height());
    QDialog::resizeEvent(event);
}

void TKivMessageBoxWindow::PlaceDetailPane(int windowHeight) {
    // Bottom-aligned: the pane follows the window's lower edge.
    detail_->setGeometry(kBodyLeft, windowHeight - kBottomMargin - kDetailHeight, kDetailWidth, kDetailHeight);
}

void TKivMessageBoxWindow::CenterOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    move(screen->availableGeometry().center() - rect().center());
}

TMessageBoxResult TKivMessageBoxDialog::Show(const TMessageBoxContent& content) {
    TKivMessageBoxWindow box;
    box.Fill(content);
    box.CenterOnScreen();
    box.show();
    box.raise();
    box.activateWindow();
    return box.exec() == QDialog::Accepted ? TMessageBoxResult::Ok : TMessageBoxResult::Cancel;
}

}  // namespace kiv
