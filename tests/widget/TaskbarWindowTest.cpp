// The Qt taskbar windows and the clipped session window, on the offscreen
// platform: what the windows are made of, which of their events reach the
// seamless handler, and the handler driving them end to end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QBuffer>
#include <QCloseEvent>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QWindow>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/MsgSml.h"
#include "platform/qt/SessionWindow.h"
#include "platform/qt/TaskbarWindow.h"
#include "platform/qt/TaskbarWindowClip.h"
#include "platform/qt/TaskbarWindowSet.h"
#include "widget/DialogTestSupport.h"

namespace kiv {
namespace {

struct Message {
    TTaskbarHandle window;
    uint32_t message;
    uint64_t wParam;
    friend bool operator==(const Message&, const Message&) = default;
};

struct Sink : ITaskbarWindowEvents {
    void OnTaskbarMessage(TTaskbarHandle window, uint32_t message, uint64_t wParam, int64_t) override {
        messages.push_back({window, message, wParam});
    }
    std::vector<Message> Of(uint32_t message) const {
        std::vector<Message> out;
        for (const Message& m : messages)
            if (m.message == message) out.push_back(m);
        return out;
    }
    std::vector<Message> messages;
};

TIconImage Solid(int side, uint32_t argb) {
    return TIconImage{side, side, std::vector<uint32_t>(static_cast<std::size_t>(side) * side, argb)};
}

class TaskbarWindowTest : public ::testing::Test {
protected:
    void SetUp() override { windows.SetEventSink(&sink); }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    TQtTaskbarWindows windows;
    Sink sink;
};

TEST_F(TaskbarWindowTest, AWindowShowsNothingButItsTitleAndIcon) {
    const TIconImage icon = Solid(32, 0xFF3080C0);
    const TTaskbarHandle h = windows.CreateTaskbarWindow("TKiv4097", &icon, u"Notepad – 记事本");
    ASSERT_NE(h, 0u);
    TTaskbarWindow* w = windows.Window(h);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isWindow());
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(w->windowFlags() & Qt::WindowDoesNotAcceptFocus);  // activation must stay visible
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_GE(w->width(), 100);  // an ordinary window to the window manager
    EXPECT_EQ(w->mask(), QRegion(-1, -1, 1, 1));
    EXPECT_FALSE(w->mask().contains(QPoint(0, 0)));
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Notepad – 记事本"));
    // Never painted: no backing store the size of the window sits behind it.
    QCoreApplication::processEvents();
    EXPECT_TRUE(!w->backingStore() || w->backingStore()->size().isEmpty());
    const QImage shown = w->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.pixel(5, 5), 0xFF3080C0u);

    windows.SetTitle(h, u"Other");
    EXPECT_EQ(w->windowTitle(), "Other");
    windows.HideTaskbarWindow(h);
    EXPECT_FALSE(w->isVisible());
    windows.ShowTaskbarWindow(h);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->mask(), QRegion(-1, -1, 1, 1));  // shown again, still shapeless

    // Without an icon, and a second window: each its own handle.
    const TTaskbarHandle second = windows.CreateTaskbarWindow("TKiv4098", nullptr, u"");
    EXPECT_NE(second, h);
    EXPECT_TRUE(windows.Window(second)->windowIcon().isNull());
    EXPECT_EQ(windows.Count(), 2u);
}

TEST_F(TaskbarWindowTest, ActivationStateAndCloseBecomeMessages) {
    const TTaskbarHandle h = windows.CreateTaskbarWindow("TKiv1", nullptr, u"a");
    TTaskbarWindow* w = windows.Window(h);
    sink.messages.clear();

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(w, &activate);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(w, &deactivate);
    EXPECT_EQ(sink.Of(kTaskbarActivate),
              (std::vector<Message>{{h, kTaskbarActivate, kActivateActive}, {h, kTaskbarActivate, kActivateInactive}}));

    w->setWindowState(Qt::WindowMinimized);
    w->setWindowState(Qt::WindowNoState);
    w->setWindowState(Qt::WindowMaximized);
    EXPECT_EQ(sink.Of(kTaskbarSize), (std::vector<Message>{{h, kTaskbarSize, kSizeMinimized},
                                                          {h, kTaskbarSize, kSizeRestored},
                                                          {h, kTaskbarSize, kSizeMaximized}}));

    // Alt+Space asks for the window menu: the server's, at the cursor; its end
    // is the server's menu's end, not this key's.
    sink.messages.clear();
    QKeyEvent altSpace(QEvent::KeyPress, Qt::Key_Space, Qt::AltModifier);
    QApplication::sendEvent(w, &altSpace);
    QKeyEvent plain(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QApplication::sendEvent(w, &plain);
    ASSERT_EQ(sink.messages.size(), 3u);
    EXPECT_EQ(sink.messages[0].message, kTaskbarKeyDown);
    EXPECT_EQ(sink.messages[1].message, kTaskbarAfterMenuShow);
    EXPECT_EQ(sink.messages[2], (Message{h, kTaskbarKeyDown, static_cast<uint64_t>(Qt::Key_A)}));

    // The program's own close is an ordinary one and no request of the user's;
    // the desktop's (spontaneous) one is seen under a real window manager.
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(sink.Of(kTaskbarClose).empty());
}

TEST_F(TaskbarWindowTest, DestroyedWindowsAreGoneAndSayNoMore) {
    const TTaskbarHandle h = windows.CreateTaskbarWindow("TKiv1", nullptr, u"a");
    QPointer<TTaskbarWindow> w = windows.Window(h);
    sink.messages.clear();
    windows.DestroyTaskbarWindow(h);
    EXPECT_EQ(sink.messages, (std::vector<Message>{{h, kTaskbarDestroy, 0}}));
    EXPECT_FALSE(windows.WindowExists(h));
    EXPECT_FALSE(windows.MinimizeTaskbarWindow(h));
    EXPECT_FALSE(windows.ForceForegroundWindow(h));
    ASSERT_TRUE(w);  // deleted once its events are over
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(w, &activate);
    EXPECT_EQ(sink.messages.size(), 1u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w);
    windows.DestroyTaskbarWindow(h);  // twice: ignored
    windows.SetTitle(h, u"x");
    windows.ShowTaskbarWindow(h);
}

TEST_F(TaskbarWindowTest, MinimizingAndActivatingFromTheHandler) {
    const TTaskbarHandle h = windows.CreateTaskbarWindow("TKiv1", nullptr, u"a");
    TTaskbarWindow* w = windows.Window(h);
    EXPECT_TRUE(windows.MinimizeTaskbarWindow(h));
    EXPECT_TRUE(w->isMinimized());
    windows.ForceForegroundWindow(h);  // restores first
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(test::WaitUntil([&] { return windows.IsActiveWindow(h); }, 5000));
}

TEST_F(TaskbarWindowTest, PngImagesOfIconFilesAreDecoded) {
    QImage picture(3, 2, QImage::Format_ARGB32);
    picture.fill(0x80FF8000u);
    picture.setPixel(2, 1, 0xFF0000FFu);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    const auto decoded =
        windows.DecodePng(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(png.constData()), png.size()));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 3);
    EXPECT_EQ(decoded->height, 2);
    EXPECT_EQ(decoded->pixels[0], 0x80FF8000u);
    EXPECT_EQ(decoded->pixels[5], 0xFF0000FFu);
    const TBytes garbage(png.begin(), png.begin() + 20);
    EXPECT_FALSE(windows.DecodePng(garbage));
    EXPECT_FALSE(windows.DecodePng({}));
}

TEST(SessionWindowTest, TheCoverIsWhiteOnlyWhereTheShapeShows) {
    TSessionWindow window;
    window.resize(64, 48);
    window.SetRegion(TRect{0, 0, 16, 16});
    window.ShowCover(true);
    QWidget* cover = window.findChild<QWidget*>("pnl1");
    ASSERT_NE(cover, nullptr);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::red);
    cover->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(image.pixel(5, 5), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(30, 30), 0xFFFF0000u);  // cut away by the shape: left untouched
}

TEST(SeamlessSurfaceTest, TheSessionWindowTakesTheUnionAsItsMask) {
    QWidget session;
    session.resize(800, 600);
    QWidget* ime = new QWidget(&session);
    ime->resize(800, 600);
    TQtSeamlessSurface surface(session);

    surface.SetSessionRegion({{0, 0, 1, 1}, {100, 50, 400, 10}, {100, 60, 10, 40}});
    EXPECT_TRUE(session.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(session.mask().contains(QPoint(499, 59)));
    EXPECT_TRUE(session.mask().contains(QPoint(105, 99)));
    EXPECT_FALSE(session.mask().contains(QPoint(200, 80)));
    EXPECT_EQ(session.mask().rectCount(), 3);
    surface.SetImeRegion({{0, 0, 1, 1}});
    EXPECT_TRUE(ime->mask().isEmpty());  // no input-method window yet: untouched

    surface.SetImeWindow(ime);
    surface.SetImeRegion({{0, 0, 1, 1}, {10, 10, 5, 5}});
    EXPECT_TRUE(ime->mask().contains(QPoint(12, 12)));
    EXPECT_FALSE(ime->mask().contains(QPoint(5, 5)));

    // Nothing at all is the pixel off the window, never an empty mask (which would show everything).
    surface.SetSessionRegion({});
    EXPECT_EQ(session.mask(), QRegion(-1, -1, 1, 1));

    const TRect screen = surface.PrimaryScreen();
    EXPECT_GT(screen.width, 0);
    EXPECT_GT(screen.height, 0);
    EXPECT_EQ(screen.x, 0);
}

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override { sent.emplace_back(chan, data); }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
    std::vector<std::pair<std::string, TBytes>> sent;
};

// A window update with a title and nothing else.
TBytes CreateMessage(int64_t handle, const std::u16string& title) {
    TBytes m(kSmlHeaderSize, 0);
    m[0] = 0x3F;
    m[1] = 0xEE;
    m[2] = 0x03;
    for (int i = 0; i < 8; ++i) m[3 + i] = static_cast<uint8_t>(static_cast<uint64_t>(handle) >> (8 * i));
    WriteU16(&m[11], SML_CREATE_MOVE);
    m[13] = 1;
    WriteI16(&m[26], 10);
    WriteI16(&m[28], 20);
    WriteI16(&m[30], 300);
    WriteI16(&m[32], 200);
    WriteU32(&m[34], static_cast<uint32_t>(title.size() * 2));
    for (char16_t unit : title) {
        m.push_back(static_cast<uint8_t>(unit));
        m.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return m;
}

TEST_F(TaskbarWindowTest, TheHandlerDrivesRealWindows) {
    QWidget session;
    session.resize(640, 480);
    TQtSeamlessSurface surface(session);
    Host host;
    auto sml = std::make_unique<TMsgSml>(host, TSmlPorts{&windows, &surface, &windows, nullptr});
    const TReceivedMessage update = UnwrapReceived(CreateMessage(77, u"Report.docx - Writer"));
    sml->OnRecvbuffer(update.buffer.data(), update.len);

    ASSERT_EQ(windows.Count(), 1u);
    const TTaskbarHandle h = sml->WindowList.GetItem(0)->ClientHandle;
    TTaskbarWindow* w = windows.Window(h);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Report.docx - Writer");
    EXPECT_TRUE(session.mask().contains(QPoint(100, 100)));
    EXPECT_FALSE(session.mask().contains(QPoint(400, 300)));

    // Minimized from the panel: the server hears of it.
    host.sent.clear();
    w->setWindowState(Qt::WindowMinimized);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sent[0].second.size(), 22u);
    EXPECT_EQ(ReadU16(&host.sent[0].second[11]), SML_CMD_ACTIVATE);
    EXPECT_EQ(ReadU32(&host.sent[0].second[13]), 0x00010001u);

    sml.reset();  // the session ends: every taskbar window goes
    EXPECT_EQ(windows.Count(), 0u);
}

}  // namespace
}  // namespace kiv
