// FreeRDP's own X11 client against the demo server, under a private Xvfb:
// the load-balance routing token, the automatic reconnection with the
// server's cookie, and the demo desktop's colour on the X screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "DemoServerProcess.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/XvfbDisplay.h"
#include "tools/demo-server/DesktopPattern.h"

namespace kiv::demo::test {
namespace {

using kiv::test::ChildProcess;
using kiv::test::TempDir;
using kiv::test::XvfbDisplay;

bool Installed(const char* path) { return access(path, X_OK) == 0; }

// Starts `argv` with the extra environment, its output in `log`.
std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                                    const std::filesystem::path& log) {
    ChildProcess::Options options;
    options.env = env;
    options.stdoutFile = log.string();
    options.stderrFile = log.string();
    auto process = std::make_unique<ChildProcess>();
    process->Start(argv, options);
    return process;
}

struct TColourCount {
    long desktop = 0;
    long grid = 0;
};

TColourCount CountScreenColours(const std::string& display, const std::filesystem::path& folder) {
    const std::string shot = (folder / "screen.rgb").string();
    Start({"/usr/bin/import", "-display", display, "-window", "root", "-depth", "8", "rgb:" + shot}, {},
          folder / "import.log")
        ->Wait(std::chrono::seconds(30));
    std::ifstream in(shot, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string data = bytes.str();
    TColourCount count;
    for (std::size_t i = 0; i + 2 < data.size(); i += 3) {
        const std::uint32_t rgb = (static_cast<std::uint8_t>(data[i]) << 16) |
                                  (static_cast<std::uint8_t>(data[i + 1]) << 8) |
                                  static_cast<std::uint8_t>(data[i + 2]);
        if (rgb == kDemoDesktopColor) ++count.desktop;
        if (rgb == kDemoGridColor) ++count.grid;
    }
    return count;
}

TEST(XfreerdpSession, ReconnectsByItselfAndShowsTheDemoDesktop) {
    if (!Installed("/usr/bin/Xvfb") || !Installed("/usr/bin/xfreerdp") || !Installed("/usr/bin/import")) {
        GTEST_SKIP() << "needs Xvfb, xfreerdp and ImageMagick's import";
    }
    TempDir dir;
    XvfbDisplay xvfb("1024x768x24");
    ASSERT_TRUE(xvfb.Started()) << xvfb.Error();
    TDemoServerProcess server(dir.path() / "server", {"--step", "reconnect-cookie", "--step", "after 500ms drop-once"});
    std::filesystem::create_directories(dir.path() / "home");
    const auto client =
        Start({"/usr/bin/xfreerdp", "/v:127.0.0.1:" + std::to_string(server.port()), "/cert:ignore", "/u:demo", "/p:pw",
               "/d:DOM", "/load-balance-info:AGS:SID00000000", "/size:800x600", "/bpp:32", "+auto-reconnect"},
              {{"DISPLAY", xvfb.Display()}, {"HOME", (dir.path() / "home").string()}}, dir.path() / "xfreerdp.log");

    const auto logons = server.WaitEvents("logon", 2, std::nullopt, 15000);
    const auto active = server.WaitEvents("active", 1, 2, 5000);
    TColourCount colours;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // 800 x 600 less the grid's 13 columns and 10 rows of lighter pixels.
    constexpr long kDesktopPixels = 800 * 600 - (13 * 600 + 10 * 800 - 13 * 10);
    while (!active.empty() && colours.desktop < kDesktopPixels && std::chrono::steady_clock::now() < deadline) {
        colours = CountScreenColours(xvfb.Display(), dir.path());
    }
    client->Terminate();

    ASSERT_EQ(logons.size(), 2u) << server.Stderr();
    EXPECT_EQ(logons[0]["user"], "demo");
    EXPECT_EQ(logons[0]["domain"], "DOM");
    // xfreerdp sends the text it was given and ends it with CR LF.
    EXPECT_EQ(logons[0]["routing_token_hex"], "4147533A53494430303030303030300D0A");
    EXPECT_EQ(logons[1]["routing_token_hex"], logons[0]["routing_token_hex"]);
    EXPECT_EQ(logons[1]["auto_reconnect_logon_id"], 1);
    EXPECT_EQ(server.Events("disconnect", 1).at(0)["reason"], "drop");
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(colours.desktop, kDesktopPixels);
    EXPECT_EQ(colours.grid, 13 * 600 + 10 * 800 - 13 * 10);
}

}  // namespace
}  // namespace kiv::demo::test
