#include "platform/qt/StepInfoDialog.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <vector>

#include "platform/qt/DeferredProgressView.h"
#include "platform/qt/DialogFont.h"
#include "platform/qt/HeaderPanel.h"
#include "platform/qt/QtTimerFactory.h"
#include "session/StepInfo.h"
#include "widget/DialogTestSupport.h"

namespace kiv {
namespace {

using test::ColorDistance;
using test::Picture;
using test::ScopedShippedLanguage;
using test::ScopedUserFolder;
using test::WaitUntil;

template <typename T>
T* Part(QWidget& dialog, const char* name) {
    T* part = dialog.findChild<T*>(name);
    EXPECT_NE(part, nullptr) << name;
    return part;
}

// The dialog as the start-up step sets it up, in the shipped language.
class StepInfoDialogTest : public ::testing::Test {
protected:
    explicit StepInfoDialogTest(uint16_t language = 2052) : language_(language) {}

    void Configure(TStepInfoDialog& dialog) {
        const TLanguageStyle& style = language_.style();
        dialog.SetCaption(style.GetText("StepCaption"), style.GetText("StepCaption"));
        dialog.SetCancelCaption(style.GetText("CancelCap"));
        dialog.SetBanner(style.GetImage("Img1"));
        dialog.SetStatusText(style.GetText("KIVConnecting"));
    }

    ScopedUserFolder user_{"0"};
    ScopedShippedLanguage language_;
};

TEST_F(StepInfoDialogTest, NormalLookShowsBannerSeparatorStatusIconAndCancel) {
    TStepInfoDialog dialog;
    Configure(dialog);
    TQtTimerFactory timers;
    TfrmStepInfo steps(dialog, timers);
    steps.SetPosition(35);
    steps.ShowStep("Connect");

    EXPECT_EQ(dialog.size(), QSize(309, 168));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("正在连接远程应用"));
    EXPECT_EQ(dialog.Header()->Caption(), QString::fromUtf8("正在连接远程应用"));
    EXPECT_EQ(Part<QPushButton>(dialog, "btnCancel")->text(), QString::fromUtf8("取消"));
    EXPECT_EQ(Part<QLabel>(dialog, "stTxtInfo")->text(), QString::fromUtf8("正在连接服务器……"));
    EXPECT_TRUE(Part<QPushButton>(dialog, "btnCancel")->isVisible());
    EXPECT_TRUE(Part<QLabel>(dialog, "Image2")->isVisible());
    EXPECT_EQ(Part<QProgressBar>(dialog, "ProgressBar1")->geometry(), QRect(15, 136, 202, 18));
    EXPECT_EQ(dialog.Position(), 35);

    const QImage picture = Picture(dialog);
    // The separator under the banner, in the form's colour 10105600.
    EXPECT_EQ(QColor(picture.pixel(150, 88)), QColor(0x00, 0x34, 0x9a));
    // The banner's upper part fills the white panel from its top left corner.
    const QImage banner(QString::fromStdString(language_.style().GetImage("Img1")));
    ASSERT_FALSE(banner.isNull());
    EXPECT_LE(ColorDistance(QColor(picture.pixel(9 + 40, 30 + 20)), QColor(banner.pixel(40, 20))), 2);
    // The window sits in the middle of the screen when it first shows.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dialog.geometry().center() - screen.center()).manhattanLength(), 2);

    test::SaveScreenshot(dialog, "progress-dialog-zh-CN");
}

TEST_F(StepInfoDialogTest, AnimationAddsTheStepEveryTickUntilThePositionHasPassedTheLimit) {
    TStepInfoDialog dialog;
    TQtTimerFactory timers;
    TfrmStepInfo steps(dialog, timers);
    std::vector<int> shown;
    QObject::connect(Part<QProgressBar>(dialog, "ProgressBar1"), &QProgressBar::valueChanged,
                     [&](int value) { shown.push_back(value); });

    steps.SetProgress(20, 5, 80);
    EXPECT_TRUE(steps.Animating());
    ASSERT_TRUE(WaitUntil([&] { return !steps.Animating(); }));
    EXPECT_EQ(shown, (std::vector<int>{20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85}));
    EXPECT_EQ(dialog.Position(), 85);

    shown.clear();
    steps.SetProgress(10, 5, 10);
    ASSERT_TRUE(WaitUntil([&] { return !steps.Animating(); }));
    EXPECT_EQ(shown, (std::vector<int>{10, 15}));
}

TEST_F(StepInfoDialogTest, AnimationNeverPassesOneHundredAndKeepsTickingUntilClosed) {
    TStepInfoDialog dialog;
    TQtTimerFactory timers;
    TfrmStepInfo steps(dialog, timers);
    steps.ShowStep("Connect");
    steps.SetProgress(90, 7, 100);
    ASSERT_TRUE(WaitUntil([&] { return dialog.Position() == 100; }));
    EXPECT_TRUE(steps.Animating());
    steps.Close();
    EXPECT_FALSE(steps.Animating());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Position(), 100);
}

TEST_F(StepInfoDialogTest, LogonStepInAnyCaseSwitchesToTheGreyLookWithoutCancelAndIcon) {
    TStepInfoDialog dialog;
    Configure(dialog);
    TQtTimerFactory timers;
    TfrmStepInfo steps(dialog, timers);
    steps.ShowStep("Connect");
    const QColor before(Picture(dialog).pixel(4, 160));
    EXPECT_NE(before, QColor(238, 238, 238));

    dialog.SetStatusText(language_.style().GetText("KIVReadyAuth"));
    steps.SetPosition(60);
    steps.ShowStep("logon");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(Part<QPushButton>(dialog, "btnCancel")->isVisible());
    EXPECT_FALSE(Part<QLabel>(dialog, "Image2")->isVisible());
    // Widened to the client width less its left offset on both sides.
    EXPECT_EQ(Part<QProgressBar>(dialog, "ProgressBar1")->geometry(), QRect(15, 136, 309 - 2 * 15, 18));

    const QImage picture = Picture(dialog);
    for (QPoint body : {QPoint(4, 160), QPoint(300, 100), QPoint(260, 132), QPoint(150, 163)})
        EXPECT_EQ(QColor(picture.pixel(body)), QColor(238, 238, 238)) << body.x() << "," << body.y();
    EXPECT_EQ(QColor(picture.pixel(150, 88)), QColor(0x00, 0x34, 0x9a));  // the banner stays as it was

    // The look stays for later steps.
    steps.ShowStep("Connect");
    EXPECT_FALSE(Part<QPushButton>(dialog, "btnCancel")->isVisible());
    test::SaveScreenshot(dialog, "progress-dialog-logon-zh-CN");
}

TEST_F(StepInfoDialogTest, CancelButtonCallsTheOwnersHandler) {
    TStepInfoDialog dialog;
    dialog.ShowDialog();
    auto* cancel = Part<QPushButton>(dialog, "btnCancel");
    cancel->click();  // no handler yet: nothing happens
    int asked = 0;
    dialog.SetOnCancel([&] { ++asked; });
    cancel->click();
    EXPECT_EQ(asked, 1);
    // The owner decides: the dialog stays until it is told to close.
    EXPECT_TRUE(dialog.isVisible());
}

// The session starts its connection right after asking for the dialog: the
// dialog is built a turn of the loop later, with everything set before then.
TEST_F(StepInfoDialogTest, TheDeferredViewBuildsTheDialogOnTheLoopsNextTurnAsItWasSet) {
    TDeferredProgressView view(nullptr);
    int asked = 0;
    view.SetOnCancel([&] { ++asked; });
    view.SetCaption("window", "header");
    view.SetStatusText("status");
    view.SetPosition(140);
    view.ShowDialog();
    view.HideDialog();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.Dialog(), nullptr);  // hidden before it was built: never built
    EXPECT_EQ(view.Position(), 100);

    view.ShowLogonLook();
    view.ShowDialog();
    EXPECT_EQ(view.Dialog(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return view.Dialog() && view.Dialog()->isVisible(); }));
    TStepInfoDialog& dialog = *view.Dialog();
    EXPECT_EQ(dialog.windowTitle(), "window");
    EXPECT_EQ(Part<QLabel>(dialog, "stTxtInfo")->text(), "status");
    EXPECT_EQ(dialog.Position(), 100);
    EXPECT_FALSE(Part<QPushButton>(dialog, "btnCancel")->isVisible());  // the logon look
    view.SetStatusText("later");
    EXPECT_EQ(Part<QLabel>(dialog, "stTxtInfo")->text(), "later");
    emit Part<QPushButton>(dialog, "btnCancel")->clicked();  // hidden in this look: the signal itself
    EXPECT_EQ(asked, 1);
}

// Hidden for good, the dialog is destroyed a turn later; shown again, it is
// built as the session last set it, where it was.
TEST_F(StepInfoDialogTest, TheDeferredViewDropsTheHiddenDialogAndBuildsItAgainAsItWasLeft) {
    TDeferredProgressView view(nullptr);
    int asked = 0;
    view.SetCaption("window", "header");
    view.ShowDialog();
    ASSERT_TRUE(WaitUntil([&] { return view.Dialog() && view.Dialog()->isVisible(); }));
    QPointer<TStepInfoDialog> first = view.Dialog();
    first->move(first->pos() + QPoint(30, 20));
    const QPoint place = first->pos();

    // A step hides and shows it at once: the same dialog stays.
    view.HideDialog();
    view.ShowDialog();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.Dialog(), first.data());

    // Its cancel handler hides it and runs the loop (a question): the dialog lives until the handler returns.
    view.SetOnCancel([&] {
        ++asked;
        view.HideDialog();
        QCoreApplication::processEvents();
        EXPECT_NE(view.Dialog(), nullptr);
    });
    emit Part<QPushButton>(*first, "btnCancel")->clicked();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(WaitUntil([&] { return first.isNull(); }));
    EXPECT_EQ(view.Dialog(), nullptr);

    view.SetStatusText("later");
    view.SetPosition(60);
    view.ShowLogonLook();
    EXPECT_EQ(view.Position(), 60);
    view.ShowDialog();
    ASSERT_TRUE(WaitUntil([&] { return view.Dialog() && view.Dialog()->isVisible(); }));
    TStepInfoDialog& again = *view.Dialog();
    EXPECT_EQ(again.windowTitle(), "window");
    EXPECT_EQ(again.Header()->Caption(), "header");
    EXPECT_EQ(Part<QLabel>(again, "stTxtInfo")->text(), "later");
    EXPECT_EQ(again.Position(), 60);
    EXPECT_FALSE(Part<QPushButton>(again, "btnCancel")->isVisible());  // the logon look
    EXPECT_EQ(again.pos(), place);
    emit Part<QPushButton>(again, "btnCancel")->clicked();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(WaitUntil([&] { return view.Dialog() == nullptr; }));
}

TEST_F(StepInfoDialogTest, PressInTheCaptionStripDragsTheWindowAndPressInTheBodyDoesNot) {
    TStepInfoDialog dialog;
    dialog.ShowDialog();
    THeaderPanel* header = dialog.Header();
    const QPoint start = dialog.pos();
    // Events as the window system delivers them: at a point of the screen.
    auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        const QPointF at(header->mapFromGlobal(global));
        QMouseEvent event(type, at, at, QPointF(global), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(header, &event);
    };

    // Within the strip: the window follows the pointer.
    send(QEvent::MouseButtonPress, start + QPoint(100, 12), Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(130, 32), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPoint(130, 32), Qt::NoButton);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));

    // Below the strip: nothing moves.
    const QPoint moved = dialog.pos();
    send(QEvent::MouseButtonPress, moved + QPoint(100, 140), Qt::LeftButton);
    send(QEvent::MouseMove, moved + QPoint(160, 150), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, moved + QPoint(160, 150), Qt::NoButton);
    EXPECT_EQ(dialog.pos(), moved);
}

TEST_F(StepInfoDialogTest, DialogFontComesFromTheLanguageFile) {
    TStepInfoDialog dialog;
    for (const char* name : {"stTxtInfo", "btnCancel"}) {
        QWidget* part = Part<QWidget>(dialog, name);
        EXPECT_EQ(part->font().family(), QString("Noto Sans CJK SC")) << name;
        EXPECT_EQ(part->font().pointSize(), 9) << name;
    }
}

TEST(StepInfoDialogFontTest, SizeIsNineWhenMissingOrNotANumber) {
    EXPECT_EQ(DialogFontSize(""), 9);
    EXPECT_EQ(DialogFontSize("abc"), 9);
    EXPECT_EQ(DialogFontSize("12pt"), 9);
    EXPECT_EQ(DialogFontSize("0"), 9);
    EXPECT_EQ(DialogFontSize("-3"), 9);
    EXPECT_EQ(DialogFontSize("99999999999999999999"), 9);
    EXPECT_EQ(DialogFontSize("12"), 12);
    EXPECT_EQ(DialogFontSize("+10"), 10);

    test::ScopedUserFolder user;
    test::ScopedLanguageFile language("[FONT]\nName=DejaVu Serif\nsize=eleven\n");
    TStepInfoDialog dialog;
    auto* status = dialog.findChild<QLabel*>("stTxtInfo");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->font().family(), QString("DejaVu Serif"));
    EXPECT_EQ(status->font().pointSize(), 9);
}

// The header scheme the user chose: 0 black, 1 blue, 2 silver, anything else the default.
class StepInfoDialogSchemeTest : public ::testing::TestWithParam<std::pair<const char*, THeaderScheme>> {};

TEST_P(StepInfoDialogSchemeTest, HeaderStripTakesTheChosenColours) {
    test::ScopedUserFolder user(GetParam().first);
    test::ScopedShippedLanguage language(1033);
    TStepInfoDialog dialog;
    const TLanguageStyle& style = language.style();
    dialog.SetCaption(style.GetText("StepCaption"), style.GetText("StepCaption"));
    dialog.SetCancelCaption(style.GetText("CancelCap"));
    dialog.SetBanner(style.GetImage("Img1"));
    dialog.SetStatusText(style.GetText("KIVReading"));
    dialog.SetPosition(15);
    dialog.ShowDialog();
    EXPECT_EQ(dialog.Header()->Scheme(), GetParam().second);

    const THeaderColors colors = THeaderPanel::ColorsOf(GetParam().second);
    const QImage picture = Picture(dialog);
    // Far right of the strip, away from the caption: the gradient's ends.
    EXPECT_LE(ColorDistance(QColor(picture.pixel(290, 1)), colors.stripTop), 12);
    EXPECT_LE(ColorDistance(QColor(picture.pixel(290, 28)), colors.stripBottom), 12);
    test::SaveScreenshot(dialog, QString("progress-dialog-scheme-") + GetParam().first);
}

INSTANTIATE_TEST_SUITE_P(Schemes, StepInfoDialogSchemeTest,
                         ::testing::Values(std::pair{"0", THeaderScheme::Black}, std::pair{"1", THeaderScheme::Blue},
                                           std::pair{"2", THeaderScheme::Silver},
                                           std::pair{"7", THeaderScheme::Default}));

}  // namespace
}  // namespace kiv
