// The taskbar windows under a real window manager and panel: a private Xvfb with
// openbox and tint2. The test binary runs on the offscreen platform, so the part
// that needs X runs as a child of this binary on the xcb platform
// (TaskbarWindowOnX11Child), and this test starts the display, the window
// manager and the panel around it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/TaskbarWindow.h"
#include "platform/qt/TaskbarWindowClip.h"
#include "platform/qt/TaskbarWindowSet.h"
#include "support/ChildProcess.h"
#include "support/DesktopSession.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

constexpr const char* kChildVariable = "KIV_TASKBAR_X11_CHILD";

// A connection of the test's own, as a panel or a pager has one.
class XConnection {
public:
    explicit XConnection(const std::string& display) : c_(xcb_connect(display.c_str(), nullptr)) {}
    ~XConnection() { xcb_disconnect(c_); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool Ok() const { return !xcb_connection_has_error(c_); }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }
    xcb_atom_t Atom(const char* name) const {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }
    std::string Bytes(xcb_window_t window, const char* property) const {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, window, Atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
        std::string value;
        if (reply) {
            const int n = xcb_get_property_value_length(reply);
            value.assign(static_cast<const char*>(xcb_get_property_value(reply)), static_cast<std::size_t>(n));
        }
        std::free(reply);
        return value;
    }
    std::vector<uint32_t> Cardinals(xcb_window_t window, const char* property) const {
        const std::string bytes = Bytes(window, property);
        std::vector<uint32_t> values(bytes.size() / 4);
        std::memcpy(values.data(), bytes.data(), values.size() * 4);
        return values;
    }
    // A request to the window manager about a window, as the panel sends it.
    void Ask(xcb_window_t window, const char* type, std::vector<uint32_t> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom(type);
        for (std::size_t i = 0; i < data.size() && i < 5; ++i) event.data.data32[i] = data[i];
        xcb_send_event(c_, 0, Root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c_);
    }
    // One pixel of the screen as the user sees it, 0xRRGGBB.
    uint32_t ScreenPixel(int x, int y) const {
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, Root(), static_cast<int16_t>(x), static_cast<int16_t>(y), 1,
                              1, 0xFFFFFFFF),
            nullptr);
        uint32_t pixel = 0;
        if (reply && xcb_get_image_data_length(reply) >= 4) std::memcpy(&pixel, xcb_get_image_data(reply), 4);
        std::free(reply);
        return pixel & 0xFFFFFF;
    }
    uint32_t ActiveWindow() const {
        const auto active = Cardinals(Root(), "_NET_ACTIVE_WINDOW");
        return active.empty() ? 0 : active[0];
    }
    bool Listed(uint32_t window) const {
        const auto clients = Cardinals(Root(), "_NET_CLIENT_LIST");
        return std::find(clients.begin(), clients.end(), window) != clients.end();
    }

private:
    xcb_connection_t* c_;
};

// Waits for what another process does, up to a deadline, running this
// process's event loop in between (Qt's X events arrive through it).
bool WaitFor(const std::function<bool()>& condition, int deadlineMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QEventLoop events;
        QTimer::singleShot(20, &events, &QEventLoop::quit);
        events.exec();
    }
    return true;
}

struct Recorded {
    uint32_t message;
    uint64_t wParam;
};

struct Sink : ITaskbarWindowEvents {
    void OnTaskbarMessage(TTaskbarHandle, uint32_t message, uint64_t wParam, int64_t) override {
        messages.push_back({message, wParam});
    }
    bool Saw(uint32_t message, uint64_t wParam) const {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const Recorded& r) { return r.message == message && r.wParam == wParam; });
    }
    std::vector<Recorded> messages;
};

TEST(TaskbarWindowOnX11, AWindowManagerAndAPanelSeeTheTaskbarWindows) {
    test::DesktopSession desktop("1024x768x24");
    ASSERT_TRUE(desktop.Started()) << desktop.Error();
    test::TempDir dir;
    const std::map<std::string, std::string> env = {{"HOME", dir.path().string()},
                                                    {"XDG_CONFIG_HOME", (dir.path() / "config").string()},
                                                    {"XDG_CACHE_HOME", (dir.path() / "cache").string()},
                                                    {"XDG_STATE_HOME", (dir.path() / "state").string()}};
    // What openbox and tint2 say stays in the test's folder.
    const bool desktopUp = desktop.StartDesktop(env, dir.path());

    test::ChildProcess::Options childOptions;
    childOptions.env = env;
    childOptions.env["DISPLAY"] = desktop.Display();
    childOptions.env[kChildVariable] = "1";
    childOptions.unsetEnv = {"SESSION_MANAGER"};
    childOptions.inheritStdout = true;
    test::ChildProcess child;
    const bool started =
        desktopUp && child.Start({QCoreApplication::applicationFilePath().toStdString(), "-platform", "xcb",
                                  "--gtest_filter=TaskbarWindowOnX11Child.*"},
                                 childOptions);
    const std::optional<int> exitCode = started ? child.Wait(std::chrono::seconds(90)) : std::nullopt;
    child.Terminate();
    const bool panelLived = desktop.PanelRunning();

    ASSERT_TRUE(desktopUp) << "openbox or tint2 did not come up";
    ASSERT_TRUE(exitCode.has_value()) << "the child on the X display did not finish";
    EXPECT_EQ(*exitCode, 0) << "the child failed (its output is above)";
    EXPECT_TRUE(panelLived);
}

// The child half: runs only when the test above starts it on its display.
TEST(TaskbarWindowOnX11Child, ButtonsTitlesActivationAndTheShape) {
    if (!std::getenv(kChildVariable)) GTEST_SKIP() << "the child of TaskbarWindowOnX11, started by it on an X display";
    ASSERT_EQ(QGuiApplication::platformName().toStdString(), "xcb");
    XConnection x(std::getenv("DISPLAY"));
    ASSERT_TRUE(x.Ok());

    TQtTaskbarWindows windows;
    Sink sink;
    windows.SetEventSink(&sink);
    const TIconImage icon{32, 32, std::vector<uint32_t>(32 * 32, 0xFF2060A0)};
    const TTaskbarHandle h = windows.CreateTaskbarWindow("TKiv4097", &icon, u"Notepad – 记事本");
    ASSERT_NE(h, 0u);
    const auto id = static_cast<uint32_t>(h);
    EXPECT_EQ(id, windows.Window(h)->winId());

    // The window manager lists it, so the panel shows a button for it.
    ASSERT_TRUE(WaitFor([&] { return x.Listed(id); }, 10000));
    EXPECT_EQ(x.Bytes(id, "WM_CLASS"), std::string("TKiv4097\0TKiv4097\0", 18));
    EXPECT_EQ(x.Bytes(id, "_NET_WM_NAME"), "Notepad – 记事本");
    const auto iconData = x.Cardinals(id, "_NET_WM_ICON");
    ASSERT_GE(iconData.size(), 2u + 32u * 32u);
    EXPECT_EQ(iconData[0], 32u);
    EXPECT_EQ(iconData[1], 32u);
    EXPECT_EQ(iconData[2], 0xFF2060A0u);
    const auto states = x.Cardinals(id, "_NET_WM_STATE");
    EXPECT_EQ(std::count(states.begin(), states.end(), x.Atom("_NET_WM_STATE_SKIP_TASKBAR")), 0);
    EXPECT_NE(x.ActiveWindow(), id);  // shown without taking the focus

    // Activation as a pager asks for it without waiting for the window manager,
    // which follows; the activation comes back marked as the one asked for.
    EXPECT_FALSE(windows.ForceForegroundWindow(h)) << "waited for the window manager's answer";
    EXPECT_TRUE(WaitFor([&] { return x.ActiveWindow() == id; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return sink.Saw(kTaskbarActivate, kActivateActive | kActivateRequested); }, 10000));
    EXPECT_TRUE(windows.ForceForegroundWindow(h)) << "already active";

    // The panel minimizes an active task when its button is clicked...
    sink.messages.clear();
    x.Ask(id, "WM_CHANGE_STATE", {3});  // IconicState
    EXPECT_TRUE(WaitFor([&] { return sink.Saw(kTaskbarSize, kSizeMinimized); }, 10000));
    // ... and restores it on the next click.
    x.Ask(id, "_NET_ACTIVE_WINDOW", {2, 0, 0});
    EXPECT_TRUE(WaitFor([&] { return sink.Saw(kTaskbarSize, kSizeRestored); }, 10000));
    // Its "close" is a request for the server; the window stays.
    x.Ask(id, "_NET_CLOSE_WINDOW", {0, 2});
    EXPECT_TRUE(WaitFor([&] { return sink.Saw(kTaskbarClose, 0); }, 10000));
    EXPECT_TRUE(windows.WindowExists(h));
    EXPECT_TRUE(x.Listed(id));

    // Alt+Tab that lands on a button goes on to the next task below it: past the
    // session's other buttons, to a window of its own.
    QWidget local;
    local.setWindowTitle("local");
    local.setGeometry(600, 400, 200, 100);
    local.show();
    ASSERT_TRUE(WaitFor([&] { return x.Listed(static_cast<uint32_t>(local.winId())); }, 10000));
    const TTaskbarHandle other = windows.CreateTaskbarWindow("TKiv4098", nullptr, u"Other");
    ASSERT_TRUE(WaitFor([&] { return x.Listed(static_cast<uint32_t>(other)); }, 10000));
    windows.ForceForegroundWindow(h);
    ASSERT_TRUE(WaitFor([&] { return x.ActiveWindow() == id; }, 10000));
    windows.SwitchToNextTaskWindow(h);
    EXPECT_TRUE(WaitFor([&] { return x.ActiveWindow() == static_cast<uint32_t>(local.winId()); }, 10000))
        << "active: " << x.ActiveWindow();
    windows.DestroyTaskbarWindow(other);

    // Destroyed: the button goes.
    windows.DestroyTaskbarWindow(h);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(WaitFor([&] { return !x.Listed(id); }, 10000));

    // The session window's shape: only the union shows, the desktop elsewhere.
    QWidget session(nullptr, Qt::Window | Qt::FramelessWindowHint);
    session.setAutoFillBackground(true);
    QPalette red = session.palette();
    red.setColor(QPalette::Window, QColor(0xE0, 0x10, 0x10));
    session.setPalette(red);
    session.setGeometry(0, 0, 400, 300);
    TQtSeamlessSurface surface(session);
    surface.SetSessionRegion({{0, 0, 1, 1}, {100, 50, 100, 50}});
    session.show();
    const QPoint origin = [&] {
        WaitFor([&] { return session.windowHandle() && session.windowHandle()->isExposed(); }, 10000);
        return session.mapToGlobal(QPoint(0, 0));
    }();
    EXPECT_TRUE(WaitFor([&] { return x.ScreenPixel(origin.x() + 150, origin.y() + 75) == 0xE01010; }, 10000));
    EXPECT_NE(x.ScreenPixel(origin.x() + 50, origin.y() + 200), 0xE01010u);
    EXPECT_NE(x.ScreenPixel(origin.x() + 250, origin.y() + 75), 0xE01010u);
}

}  // namespace
}  // namespace kiv
