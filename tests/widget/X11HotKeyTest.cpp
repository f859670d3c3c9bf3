// The global hot key on a real X server: a private Xvfb, the key pressed by
// XTEST (xdotool). The binary runs on the offscreen platform, so the part that
// needs Qt's X connection runs as a child of this binary on the xcb platform.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/qt/X11HotKey.h"
#include "support/XvfbDisplay.h"

namespace kiv {
namespace {

constexpr const char* kChildVariable = "KIV_HOTKEY_X11_CHILD";

struct Presses : IGlobalHotKeyEvents {
    void OnHotKeyPressed(uint32_t modifiers, uint32_t virtualKey) override { seen.push_back({modifiers, virtualKey}); }
    std::vector<std::pair<uint32_t, uint32_t>> seen;
};

bool Pump(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Xdotool(const QStringList& arguments) {
    QProcess run;
    run.start("/usr/bin/xdotool", arguments);
    run.waitForFinished(5000);
}

TEST(X11HotKey, OnAPrivateDisplay) {
    test::XvfbDisplay xvfb("800x600x24");
    ASSERT_TRUE(xvfb.Started()) << xvfb.Error();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(xvfb.Display()));
    env.insert(kChildVariable, "1");
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"-platform", "xcb", "--gtest_filter=X11HotKeyChild.*"});
    ASSERT_TRUE(child.waitForStarted(10000));
    const bool finished = child.waitForFinished(60000);
    if (!finished) child.kill(), child.waitForFinished(5000);
    ASSERT_TRUE(finished);
    EXPECT_EQ(child.exitCode(), 0) << "the child failed (its output is above)";
}

TEST(X11HotKeyChild, TakesTheKeyWithItsLockVariantsLeavesAKeyHeldElsewhereAndGivesItBack) {
    if (!std::getenv(kChildVariable)) GTEST_SKIP() << "the child of X11HotKey, started by it on an X display";
    ASSERT_EQ(QGuiApplication::platformName().toStdString(), "xcb");

    // Another program's connection holds Alt+G first.
    xcb_connection_t* other = xcb_connect(std::getenv("DISPLAY"), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    TX11HotKey hotKey;
    Presses presses;
    ASSERT_TRUE(hotKey.Register(kHotKeyAlt, 'G', &presses)) << "a free key";
    const std::size_t variants = hotKey.GrabCount();
    EXPECT_GE(variants, 2u) << "with Caps Lock (and Num Lock where the keyboard has it)";
    hotKey.Unregister();
    // Its key code, as this program found it: held by the other connection now.
    xcb_generic_error_t* error = nullptr;
    {
        // The other connection grabs every key with Alt: whatever code G has.
        error = xcb_request_check(other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_1, XCB_GRAB_ANY,
                                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        ASSERT_EQ(error, nullptr);
    }
    EXPECT_FALSE(hotKey.Register(kHotKeyAlt, 'G', &presses)) << "the other program keeps its key";
    EXPECT_EQ(hotKey.GrabCount(), 0u);
    xcb_ungrab_key(other, XCB_GRAB_ANY, root, XCB_MOD_MASK_1);
    xcb_flush(other);

    ASSERT_TRUE(hotKey.Register(kHotKeyAlt, 'G', &presses));
    EXPECT_EQ(hotKey.GrabCount(), variants);
    Xdotool({"key", "alt+g"});
    ASSERT_TRUE(Pump([&] { return presses.seen.size() == 1; }, 5000)) << "the press did not arrive";
    EXPECT_EQ(presses.seen[0], std::make_pair(uint32_t{kHotKeyAlt}, uint32_t{'G'}));
    // Caps Lock on: the lock variant takes the press, the lock is not counted.
    Xdotool({"key", "Caps_Lock", "alt+g", "Caps_Lock"});
    ASSERT_TRUE(Pump([&] { return presses.seen.size() == 2; }, 5000)) << "Caps Lock hid the combination";
    EXPECT_EQ(presses.seen[1], std::make_pair(uint32_t{kHotKeyAlt}, uint32_t{'G'}));

    // Given back: the other program may take the combination now.
    hotKey.Unregister();
    error = xcb_request_check(other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_1, XCB_GRAB_ANY,
                                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    EXPECT_EQ(error, nullptr) << "the key was not given back";
    std::free(error);
    xcb_disconnect(other);
}

}  // namespace
}  // namespace kiv
