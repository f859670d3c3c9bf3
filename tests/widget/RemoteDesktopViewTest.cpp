#include "platform/qt/RemoteDesktopView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <climits>
#include <memory>

#include "widget/FakeRemoteDisplay.h"

namespace kiv {
namespace {

using test::FakeRemoteDisplay;
using test::TKeyCall;
using test::TMouseCall;

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kTeal = 0xFF008080;

// Records which parts of the view were repainted.
class RecordingView : public TRemoteDesktopView {
public:
    using TRemoteDesktopView::TRemoteDesktopView;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* event) override {
        painted += event->region();
        TRemoteDesktopView::paintEvent(event);
    }
};

class RemoteDesktopViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        display.Resize(64, 48, 64 * 4 + 16);  // padded rows, as some buffers have
        view = std::make_unique<RecordingView>(&display);
        view->OnDesktopResized(64, 48);
    }

    // Every pixel the view shows at its desktop's size: inside the expected
    // region the frame's colour, elsewhere black.
    void ExpectShown(const QRegion& coloured, QRgb colour) const {
        view->resize(64, 48);
        const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int wrong = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb expected = coloured.contains(QPoint(x, y)) ? colour : kBlack;
                if (shown.pixel(x, y) != expected && ++wrong <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << shown.pixel(x, y)
                                  << ", expected " << expected;
            }
        EXPECT_EQ(wrong, 0);
    }

    void Send(QEvent& event) { QApplication::sendEvent(view.get(), &event); }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button) {
        QMouseEvent event(type, at, view->mapToGlobal(at), button, button, Qt::NoModifier);
        Send(event);
    }
    void Wheel(int angle, QPointF at = {5, 6}) {
        QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        Send(event);
    }
    void Key(QEvent::Type type, int key, quint32 scanCode, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0, QString(), autoRepeat);
        Send(event);
    }

    FakeRemoteDisplay display;
    std::unique_ptr<RecordingView> view;
};

TEST_F(RemoteDesktopViewTest, AttachesAsListenerAndDetachesWhenGone) {
    EXPECT_EQ(display.listener(), view.get());
    FakeRemoteDisplay other;
    view->SetDisplay(&other);
    EXPECT_EQ(display.listener(), nullptr);
    EXPECT_EQ(other.listener(), view.get());
    view.reset();
    EXPECT_EQ(other.listener(), nullptr);
}

TEST_F(RemoteDesktopViewTest, PaintsStraightFromTheFrameBufferWithoutACopy) {
    display.Fill(0x00, 0x00, 0xFF);  // red, as BGRA
    view->OnFrameDamaged({{10, 5, 8, 6}});
    EXPECT_EQ(display.reads, 0);  // damage only marks the area: the frame is read when painting
    ExpectShown(QRegion(0, 0, 64, 48), kRed);
    EXPECT_GE(display.reads, 1);
    display.Fill(0x80, 0x80, 0x00);  // teal, never reported: a repaint shows it all the same
    ExpectShown(QRegion(0, 0, 64, 48), kTeal);
}

TEST_F(RemoteDesktopViewTest, PaintsOnlyWhatTheWindowShapeShows) {
    display.Fill(0x00, 0x00, 0xFF);
    QWidget window;
    window.resize(64, 48);
    window.setMask(QRegion(0, 0, 16, 16));
    view->setParent(&window);
    view->setGeometry(0, 0, 64, 48);
    QPaintEvent outside(QRect(20, 20, 10, 10));
    QApplication::sendEvent(view.get(), &outside);
    EXPECT_EQ(display.reads, 0);  // cut away by the shape: the frame is not even read
    const QImage inside = window.grab(QRect(0, 0, 16, 16)).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(inside.pixel(5, 5), kRed);
    EXPECT_EQ(display.reads, 1);
    view->setParent(nullptr);
}

TEST_F(RemoteDesktopViewTest, PixelsKeepTheirPlaceAndColourChannels) {
    display.SetPixel(3, 2, 0x11, 0x22, 0x33);  // B, G, R
    display.SetPixel(4, 2, 0xAA, 0xBB, 0xCC);
    view->resize(64, 48);
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(3, 2), qRgb(0x33, 0x22, 0x11));
    EXPECT_EQ(shown.pixel(4, 2), qRgb(0xCC, 0xBB, 0xAA));
    EXPECT_EQ(shown.pixel(4, 3), kBlack);
}

TEST_F(RemoteDesktopViewTest, DamageReachingOutsideTheFrameRepaintsOnlyTheFrame) {
    view->resize(64, 48);
    view->show();
    QApplication::processEvents();
    view->painted = QRegion();
    view->OnFrameDamaged({
        {60, 44, 20, 20},                    // over the bottom-right corner
        {-5, -5, 10, 10},                    // over the top-left corner
        {INT32_MAX - 1, 0, INT32_MAX, 10},   // would wrap in 32 bits
        {30, 20, -4, 5},                     // negative width
        {64, 0, 1, 48},                      // just beyond the right edge
        {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},  // ends at -1, -1
    });
    QApplication::processEvents();
    EXPECT_EQ(view->painted, QRegion(60, 44, 4, 4) + QRegion(0, 0, 5, 5));
}

TEST_F(RemoteDesktopViewTest, NeverReadsPastTheRowsTheFrameReallyHas) {
    display.Fill(0x00, 0x00, 0xFF);
    display.OverrideView(64, 20 * 4);  // a stride that holds only 20 pixels
    ExpectShown(QRegion(0, 0, 20, 48), kRed);
}

TEST_F(RemoteDesktopViewTest, FrameLargerThanTheDesktopShowsUpToTheDesktop) {
    // The frame grew but the resize has not reached the view yet.
    display.Resize(128, 96);
    display.Fill(0x00, 0x00, 0xFF);
    view->resize(80, 60);
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(63, 47), kRed);
    EXPECT_EQ(shown.pixel(64, 47), kBlack);
    EXPECT_EQ(shown.pixel(63, 48), kBlack);
}

TEST_F(RemoteDesktopViewTest, WithoutAFrameOrBeforeTheFirstSizeTheViewIsBlack) {
    display.Resize(0, 0);
    view->OnFrameDamaged({{0, 0, 10, 10}});
    ExpectShown(QRegion(), kRed);

    FakeRemoteDisplay fresh;
    fresh.Resize(8, 8);
    fresh.Fill(0x00, 0x00, 0xFF);
    RecordingView unsized(&fresh);
    unsized.OnFrameDamaged({{0, 0, 8, 8}});
    EXPECT_TRUE(unsized.DesktopSize().isEmpty());
    unsized.resize(8, 8);
    EXPECT_EQ(unsized.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(2, 2), kBlack);
}

TEST_F(RemoteDesktopViewTest, ResizeChangesTheDesktopSizeButNotTheWidget) {
    view->resize(200, 150);
    view->OnDesktopResized(100, 30);
    EXPECT_EQ(view->DesktopSize(), QSize(100, 30));
    EXPECT_EQ(view->size(), QSize(200, 150));
    EXPECT_EQ(view->sizeHint(), QSize(100, 30));
    view->OnDesktopResized(0, 0);
    EXPECT_TRUE(view->DesktopSize().isEmpty());
}

TEST_F(RemoteDesktopViewTest, RepaintsOnlyTheDamagedRectangles) {
    view->resize(64, 48);
    view->show();
    QApplication::processEvents();
    view->painted = QRegion();

    display.Fill(0x80, 0x80, 0x00);
    view->OnFrameDamaged({{10, 5, 8, 6}, {50, 40, 30, 30}});
    QApplication::processEvents();
    EXPECT_EQ(view->painted, QRegion(10, 5, 8, 6) + QRegion(50, 40, 14, 8));
}

TEST_F(RemoteDesktopViewTest, AreaBeyondTheDesktopPaintsBlack) {
    display.Fill(0x80, 0x80, 0x00);
    view->OnFrameDamaged({{0, 0, 64, 48}});
    view->resize(80, 60);
    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(80, 60));
    EXPECT_EQ(shown.pixel(63, 47), kTeal);
    EXPECT_EQ(shown.pixel(64, 10), kBlack);
    EXPECT_EQ(shown.pixel(10, 48), kBlack);
    EXPECT_EQ(shown.pixel(79, 59), kBlack);
}

TEST_F(RemoteDesktopViewTest, MouseButtonsAndMovesCarryPointerFlagsAndDesktopCoordinates) {
    Mouse(QEvent::MouseMove, {12, 7}, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, {12, 7}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {13, 8}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonPress, {1, 2}, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, {1, 2}, Qt::RightButton);
    Mouse(QEvent::MouseButtonPress, {3, 4}, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonRelease, {3, 4}, Qt::MiddleButton);
    Mouse(QEvent::MouseButtonDblClick, {5, 6}, Qt::LeftButton);  // the second press of a double click
    Mouse(QEvent::MouseButtonPress, {5, 6}, Qt::BackButton);     // not a button the view sends
    const std::vector<TMouseCall> expected = {
        {0x0800, 12, 7}, {0x9000, 12, 7}, {0x1000, 13, 8}, {0xA000, 1, 2},
        {0x2000, 1, 2},  {0xC000, 3, 4},  {0x4000, 3, 4},  {0x9000, 5, 6},
    };
    EXPECT_EQ(display.mouse, expected);
}

TEST_F(RemoteDesktopViewTest, PointerOutsideTheDesktopIsHeldAtItsEdge) {
    Mouse(QEvent::MouseMove, {-5, 500}, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, {70.6, -0.4}, Qt::LeftButton);
    const std::vector<TMouseCall> expected = {{0x0800, 0, 47}, {0x1000, 63, 0}};
    EXPECT_EQ(display.mouse, expected);
}

TEST_F(RemoteDesktopViewTest, WheelSendsRotationPerNotchWithSignFlag) {
    Wheel(120);
    Wheel(-120);
    Wheel(15);    // a fine-grained wheel
    Wheel(-240);  // two notches at once
    Wheel(0);
    const std::vector<TMouseCall> expected = {
        {0x0278, 5, 6}, {0x0388, 5, 6}, {0x020F, 5, 6}, {0x0388, 5, 6}, {0x0388, 5, 6},
    };
    EXPECT_EQ(display.mouse, expected);
}

TEST_F(RemoteDesktopViewTest, KeysTravelAsNativeScanCodesAndAutoRepeatKeepsTheKeyDown) {
    Key(QEvent::KeyPress, Qt::Key_A, 38);
    Key(QEvent::KeyRelease, Qt::Key_A, 38, true);  // X11's release between repeats
    Key(QEvent::KeyPress, Qt::Key_A, 38, true);
    Key(QEvent::KeyRelease, Qt::Key_A, 38);
    Key(QEvent::KeyPress, Qt::Key_unknown, 0);  // nothing to send without a keycode
    const std::vector<TKeyCall> expected = {{38, true}, {38, true}, {38, false}};
    EXPECT_EQ(display.keys, expected);
}

TEST_F(RemoteDesktopViewTest, TabAndArrowsStayInTheSession) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    RecordingView* inner = new RecordingView(&display, &window);
    layout->addWidget(inner);
    window.show();
    QApplication::setActiveWindow(&window);
    inner->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), inner);

    for (auto [key, code] : {std::pair{Qt::Key_Tab, 23u}, {Qt::Key_Backtab, 23u}, {Qt::Key_Left, 113u},
                             {Qt::Key_Down, 116u}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, code, 0, 0);
        QApplication::sendEvent(inner, &press);
        EXPECT_EQ(QApplication::focusWidget(), inner) << "key " << key;
    }
    const std::vector<TKeyCall> expected = {{23, true}, {23, true}, {113, true}, {116, true}};
    EXPECT_EQ(display.keys, expected);

    // The view claims every key before the application's shortcuts see it.
    QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_S, Qt::ControlModifier, 39, 0, 0);
    shortcut.ignore();
    QApplication::sendEvent(inner, &shortcut);
    EXPECT_TRUE(shortcut.isAccepted());
}

TEST_F(RemoteDesktopViewTest, LosingFocusReleasesHeldKeys) {
    Key(QEvent::KeyPress, Qt::Key_Shift, 50);
    Key(QEvent::KeyPress, Qt::Key_A, 38);
    Key(QEvent::KeyRelease, Qt::Key_A, 38);
    display.keys.clear();
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    Send(focusOut);
    const std::vector<TKeyCall> expected = {{50, false}};
    EXPECT_EQ(display.keys, expected);

    display.keys.clear();
    Send(focusOut);  // nothing is held any more
    EXPECT_TRUE(display.keys.empty());
}

TEST_F(RemoteDesktopViewTest, DetachedViewSendsNothing) {
    view->SetDisplay(nullptr);
    Mouse(QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton);
    Wheel(120);
    Key(QEvent::KeyPress, Qt::Key_A, 38);
    view->OnFrameDamaged({{0, 0, 10, 10}});
    EXPECT_TRUE(display.mouse.empty());
    EXPECT_TRUE(display.keys.empty());
    EXPECT_EQ(display.reads, 0);
}

TEST_F(RemoteDesktopViewTest, ScalesADesktopOfAnotherSizeAndAsksForItsOwn) {
    view->resize(33, 24);  // the desktop is 64 x 48
    Mouse(QEvent::MouseMove, {10, 5}, Qt::NoButton);
    view->SetScaleToFit(true);
    Mouse(QEvent::MouseMove, {10, 5}, Qt::NoButton);
    const std::vector<TMouseCall> expected{{rdp_pointer::kMove, 10, 5}, {rdp_pointer::kMove, 19, 10}};
    EXPECT_EQ(display.mouse, expected);

    view->FollowOwnSize();
    view->FollowOwnSize();  // asked for already
    ASSERT_EQ(display.sizeRequests.size(), 1u);
    EXPECT_EQ(display.sizeRequests[0].width, 32) << "even widths only";
    EXPECT_EQ(display.sizeRequests[0].height, 24);
    // The server grants it: pixels map one to one again.
    view->resize(32, 24);
    view->OnDesktopResized(32, 24);
    Mouse(QEvent::MouseMove, {10, 5}, Qt::NoButton);
    EXPECT_EQ(display.mouse.back(), (TMouseCall{rdp_pointer::kMove, 10, 5}));
    EXPECT_EQ(display.sizeRequests.size(), 1u);
}

}  // namespace
}  // namespace kiv
