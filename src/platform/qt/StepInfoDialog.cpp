#include "platform/qt/StepInfoDialog.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "platform/qt/DialogFont.h"
#include "platform/qt/HeaderPanel.h"
#include "platform/qt/IconFileReader.h"
#include "platform/qt/MessageGlyphs.h"

namespace kiv {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The body below the caption strip, as the form lays it out at 96 dpi.
constexpr int kBodyLeft = 9;
constexpr int kBodyWidth = 290;
constexpr int kBannerHeight = 56;
constexpr int kSeparatorHeight = 5;
constexpr int kBarLeft = 15;

void Name(QWidget* widget, const char* name) {
    widget->setObjectName(name);
    widget->setAccessibleName(name);
}

}  // namespace

TStepInfoDialog::TStepInfoDialog(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("frmStepInfo");
    setFixedSize(kWidth, kHeight);

    header_ = new THeaderPanel(this);
    header_->setGeometry(0, 0, kWidth, kHeight);

    const int top = THeaderPanel::kHeaderHeight;
    bannerPanel_ = new QWidget(header_);
    Name(bannerPanel_, "Panel1");
    bannerPanel_->setGeometry(kBodyLeft, top, kBodyWidth, kBannerHeight);
    bannerPanel_->setAutoFillBackground(true);
    QPalette white = bannerPanel_->palette();
    white.setColor(QPalette::Window, Qt::white);
    bannerPanel_->setPalette(white);

    // The picture is taller than its panel: the panel shows its upper part.
    banner_ = new QLabel(bannerPanel_);
    Name(banner_, "Image1");
    banner_->setGeometry(0, 0, kBodyWidth, 63);
    banner_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    separator_ = new QWidget(header_);
    Name(separator_, "Shape1");
    separator_->setGeometry(kBodyLeft, top + kBannerHeight, kBodyWidth, kSeparatorHeight);
    separator_->setAutoFillBackground(true);
    QPalette blue = separator_->palette();
    blue.setColor(QPalette::Window, SeparatorColor());
    separator_->setPalette(blue);

    status_ = new QLabel(header_);
    Name(status_, "stTxtInfo");
    status_->setGeometry(9, 101, 248, 28);
    status_->setWordWrap(true);
    status_->setTextFormat(Qt::PlainText);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    icon_ = new QLabel(header_);
    Name(icon_, "Image2");
    icon_->setGeometry(263, 96, 32, 32);
    icon_->setPixmap(ConnectionGlyph(devicePixelRatioF()));

    bar_ = new QProgressBar(header_);
    Name(bar_, "ProgressBar1");
    bar_->setGeometry(kBarLeft, 136, 202, 18);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    QPalette barColors = bar_->palette();
    barColors.setColor(QPalette::Highlight, QColor(0x1f, 0x6f, 0xd0));
    bar_->setPalette(barColors);

    cancel_ = new QPushButton(QString::fromUtf8("取消"), header_);
    Name(cancel_, "btnCancel");
    cancel_->setGeometry(221, 134, 77, 22);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (onCancel_) onCancel_();
    });

    ApplyDialogFont(this, DialogFont());
    header_->ApplyColorScheme();
}

void TStepInfoDialog::resizeEvent(QResizeEvent* event) {
    header_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void TStepInfoDialog::SetCaption(const std::string& windowCaption, const std::string& headerCaption) {
    setWindowTitle(FromUtf8(windowCaption));
    header_->SetCaption(FromUtf8(headerCaption));
}

void TStepInfoDialog::SetCancelCaption(const std::string& caption) {
    cancel_->setText(FromUtf8(caption));
    cancel_->setAccessibleDescription(cancel_->text());
}

void TStepInfoDialog::SetBanner(const std::string& picturePath) {
    // A missing or unreadable picture leaves the white panel.
    // Read with the format its first bytes tell, so only that reader is loaded.
    QPixmap picture;
    QFile file(FromUtf8(picturePath));
    if (!picturePath.empty() && file.open(QIODevice::ReadOnly)) {
        const QByteArray format = PictureFormat(file);
        QImageReader reader(&file, format);
        // Otherwise every plug-in is still asked whether it reads this format better.
        if (!format.isEmpty()) reader.setAutoDetectImageFormat(false);
        picture = QPixmap::fromImage(reader.read());
    }
    banner_->setPixmap(picture);
}

void TStepInfoDialog::SetStatusText(const std::string& text) {
    status_->setText(FromUtf8(text));
    status_->setAccessibleDescription(status_->text());
}

void TStepInfoDialog::SetPosition(int32_t position) { bar_->setValue(std::clamp(position, 0, 100)); }

int32_t TStepInfoDialog::Position() const { return bar_->value(); }

void TStepInfoDialog::ShowLogonLook() {
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, LogonColor());
    setPalette(grey);
    header_->SetBodyColor(LogonColor());
    icon_->hide();
    cancel_->hide();
    bar_->setGeometry(kBarLeft, bar_->y(), width() - 2 * kBarLeft, bar_->height());
}

void TStepInfoDialog::CenterOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
}

void TStepInfoDialog::PlaceAt(const QPoint& topLeft) {
    move(topLeft);
    placed_ = true;
}

void TStepInfoDialog::ShowDialog() {
    // Centred the first time; afterwards it stays where the user dragged it.
    if (!placed_) {
        CenterOnScreen();
        placed_ = true;
    }
    show();
    raise();
}

void TStepInfoDialog::HideDialog() { hide(); }

void TStepInfoDialog::Repaint() {
    // The start sequence runs on the GUI thread between steps: paint now, not later.
    if (isVisible()) repaint();
}

}  // namespace kiv
