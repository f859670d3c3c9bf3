// FreeRDP's own X11 client against the demo server, under a private Xvfb:
// the load-balance routing token, the automatic reconnection with the
// server's cookie, and the demo desktop's colour on the X screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "DemoServerProcess.h"
#include "support/TempDir.h"
#include "tools/demo-server/DesktopPattern.h"

namespace kiv::demo::test {
namespace {

using kiv::test::TempDir;

bool Installed(const char* path) { return access(path, X_OK) == 0; }

// Starts `argv` with the extra environment, output to `log`.
pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log,
            int keepFd = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& entry : env) putenv(const_cast<char*>(entry.c_str()));
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        for (int fd = 3; fd < 256; ++fd) {
            if (fd != keepFd) close(fd);
        }
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void StopProcess(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A private X server on a display number it picks itself.
class TXvfb {
public:
    explicit TXvfb(const std::filesystem::path& folder) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        pid_ = Start({"/usr/bin/Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1024x768x24",
                      "-nolisten", "tcp"},
                     {}, (folder / "xvfb.log").string(), pipeFds[1]);
        close(pipeFds[1]);
        std::string number;
        char c = 0;
        pollfd poller{pipeFds[0], POLLIN, 0};
        while (poll(&poller, 1, 10000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipeFds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~TXvfb() { StopProcess(pid_); }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct TColourCount {
    long desktop = 0;
    long grid = 0;
};

TColourCount CountScreenColours(const std::string& display, const std::filesystem::path& folder) {
    const std::string shot = (folder / "screen.rgb").string();
    const pid_t pid = Start({"/usr/bin/import", "-display", display, "-window", "root", "-depth", "8", "rgb:" + shot},
                            {}, (folder / "import.log").string());
    int status = 0;
    waitpid(pid, &status, 0);
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
    TXvfb xvfb(dir.path());
    ASSERT_FALSE(xvfb.display().empty()) << "Xvfb gave no display";
    TDemoServerProcess server(dir.path() / "server", {"--step", "reconnect-cookie", "--step", "after 500ms drop-once"});
    std::filesystem::create_directories(dir.path() / "home");
    const pid_t client =
        Start({"/usr/bin/xfreerdp", "/v:127.0.0.1:" + std::to_string(server.port()), "/cert:ignore", "/u:demo", "/p:pw",
               "/d:DOM", "/load-balance-info:AGS:SID00000000", "/size:800x600", "/bpp:32", "+auto-reconnect"},
              {"DISPLAY=" + xvfb.display(), "HOME=" + (dir.path() / "home").string()},
              (dir.path() / "xfreerdp.log").string());

    const auto logons = server.WaitEvents("logon", 2, std::nullopt, 15000);
    const auto active = server.WaitEvents("active", 1, 2, 5000);
    TColourCount colours;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // 800 x 600 less the grid's 13 columns and 10 rows of lighter pixels.
    constexpr long kDesktopPixels = 800 * 600 - (13 * 600 + 10 * 800 - 13 * 10);
    while (!active.empty() && colours.desktop < kDesktopPixels && std::chrono::steady_clock::now() < deadline) {
        colours = CountScreenColours(xvfb.display(), dir.path());
    }
    StopProcess(client);

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
