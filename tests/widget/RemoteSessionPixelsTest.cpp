// End to end: the demo server's desktop, received by the real control over RDP on
// 127.0.0.1 and shown by the desktop view on a private X server, is on screen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>

#include <chrono>
#include <filesystem>
#include <optional>

#include "support/ChildProcess.h"
#include "support/DemoServer.h"
#include "support/TempDir.h"
#include "widget/RemoteSessionChild.h"
#include "support/XvfbDisplay.h"

namespace kiv {
namespace {

#ifdef DEMO_SERVER_PATH

using test::TempDir;
using test::XvfbDisplay;

constexpr auto kChildTimeout = std::chrono::seconds(90);

int CountPixels(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++count;
    return count;
}

#endif  // DEMO_SERVER_PATH

TEST(RemoteSessionPixelsTest, DemoServerDesktopColourIsOnScreen) {
#ifndef DEMO_SERVER_PATH
    GTEST_SKIP() << "kiv-demo-server is not part of this build; the end-to-end pixel test needs it";
#else
    if (!test::RemoteSessionChildAvailable())
        GTEST_SKIP() << "the FreeRDP remote-desktop control is not part of this build; the end-to-end pixel test needs it";

    TempDir dir;
    XvfbDisplay xvfb("1024x768x24");
    ASSERT_TRUE(xvfb.Started()) << xvfb.Error();

    test::DemoServer server({}, dir.path());
    ASSERT_TRUE(server.Started()) << "the demo server did not report its port: " << server.StartError();
    const int port = server.Port();

    const std::filesystem::path screenshot = dir.path() / "remote-session.png";
    test::ChildProcess::Options childOptions;
    childOptions.env = {{"DISPLAY", xvfb.Display()},
                        {"QT_QPA_PLATFORM", "xcb"},
                        // Whatever the libraries write for a user stays in the test's folder.
                        {"HOME", dir.path().string()},
                        {"XDG_CONFIG_HOME", (dir.path() / "config").string()},
                        {"XDG_STATE_HOME", (dir.path() / "state-home").string()}};
    childOptions.inheritStdout = true;
    test::ChildProcess child;
    ASSERT_TRUE(child.Start({QCoreApplication::applicationFilePath().toStdString(), test::kRemoteSessionChildFlag,
                             std::to_string(port), screenshot.string(), dir.path().string()},
                            childOptions));
    const std::optional<int> exitCode = child.Wait(kChildTimeout);
    const bool finished = exitCode.has_value();
    child.Terminate();
    server.Stop();
    ASSERT_TRUE(finished) << "the session child did not finish";

    // Keep the screenshot beside the build whatever the outcome, for people to look at.
    if (std::filesystem::exists(screenshot)) {
        const QString artifacts = QCoreApplication::applicationDirPath() + "/../test-artifacts";
        QDir().mkpath(artifacts);
        const QString kept = artifacts + "/RemoteSessionPixelsTest.png";
        QFile::remove(kept);
        EXPECT_TRUE(QFile::copy(QString::fromStdString(screenshot.string()), kept));
    }
    ASSERT_EQ(*exitCode, 0) << "the session child failed (see its output above)";

    const QImage shot(QString::fromStdString(screenshot.string()));
    ASSERT_FALSE(shot.isNull()) << "no screenshot at " << screenshot;
    ASSERT_EQ(shot.size(), QSize(1024, 768));
    // The view sits at the top-left corner with the session's size; most of it
    // must be the demo desktop's colour (a few pixels may be drawn over by it).
    const QSize desktop = test::RemoteSessionDesktopSize();
    const QImage viewArea = shot.copy(QRect(QPoint(0, 0), desktop));
    const int matching = CountPixels(viewArea, test::kDemoDesktopColour);
    EXPECT_GT(matching, desktop.width() * desktop.height() / 2)
        << "only " << matching << " pixels of colour " << std::hex << test::kDemoDesktopColour;
    // The grid lines sit where the server drew them: the frame is neither shifted nor flipped.
    for (QPoint grid : {QPoint(0, 10), QPoint(test::kDemoGridSpacing, 10), QPoint(10, test::kDemoGridSpacing),
                        QPoint(10 * test::kDemoGridSpacing, 300), QPoint(300, 9 * test::kDemoGridSpacing)})
        EXPECT_EQ(shot.pixel(grid) & 0xFFFFFF, test::kDemoGridColour & 0xFFFFFF) << grid.x() << "," << grid.y();
    for (QPoint plain : {QPoint(10, 10), QPoint(test::kDemoGridSpacing + 1, test::kDemoGridSpacing + 1),
                         QPoint(desktop.width() - 1, desktop.height() - 1)})
        EXPECT_EQ(shot.pixel(plain) & 0xFFFFFF, test::kDemoDesktopColour & 0xFFFFFF) << plain.x() << "," << plain.y();
    // And the rest of the screen is not: the colour came from the session, not the X server.
    EXPECT_EQ(CountPixels(shot.copy(QRect(desktop.width() + 10, 0, 1024 - desktop.width() - 10, 768)),
                          test::kDemoDesktopColour),
              0);
#endif
}

}  // namespace
}  // namespace kiv
