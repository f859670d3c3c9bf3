// The full-desktop frame end to end: kivclient against the demo server on a
// private display of two monitors side by side (RandR monitors on one wide
// Xvfb screen) with openbox and tint2. The hot key moves the window between
// the monitors, the full-screen toolbar drops down and goes up again, a drag on
// the border resizes the window and tells the server (the server shell and the
// display-control channel), and the device menu
// shows the USB library's devices and redirects the one clicked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "support/ClientSessionHarness.h"
#include "launch/CredentialCodec.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

constexpr int kMonitorWidth = 1280;
const uint32_t kToolbarColour = 0x2B3A4B;

struct TGeometry {
    int x = -1, y = -1, width = 0, height = 0;
};

std::string Hex(const std::string& text) {
    std::ostringstream out;
    for (unsigned char c : text) out << std::uppercase << std::hex << (c >> 4) << (c & 15);
    return out.str();
}

class FrameEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
        ASSERT_TRUE(TwoMonitors()) << Output({"/usr/bin/xrandr", "--listmonitors"});
    }

    // Two RandR monitors on the wide screen; the panel's start-up may still
    // reset them, so they are set until they hold.
    bool TwoMonitors() {
        return test::WaitFor(
            [&] {
                if (Output({"/usr/bin/xrandr", "--listmonitors"}).find("Monitors: 2") != std::string::npos) return true;
                Output({"/usr/bin/xrandr", "--setmonitor", "left", "1280/338x800/211+0+0", "screen"});
                Output({"/usr/bin/xrandr", "--setmonitor", "right", "1280/338x800/211+1280+0", "none"});
                std::this_thread::sleep_for(300ms);
                return false;
            },
            10s);
    }

    void Start(int screenFull, const std::vector<std::string>& serverArguments = {}) {
        port = harness.StartServer(serverArguments);
        ASSERT_NE(port, 0);
        const auto file = harness.Dir().Write(
            "frame.kiv", "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=" +
                             std::to_string(screenFull) +
                             "\r\nWidth=800\r\nHeight=600\r\nProportion=60\r\nColor=4\r\nShareSession=0\r\n"
                             "[Application]\r\nApp_id=APP0001\r\nApp_name=Notepad\r\nApp_type_mode=1\r\n"
                             "[Server]\r\nServer_Address=127.0.0.1:" +
                             std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                             "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
        client = harness.StartClient(
            {file.string()},
            {{"LD_LIBRARY_PATH", std::filesystem::path(FAKE_USB_LIBRARY_PATH).parent_path().string()},
             {"KIV_FAKE_USB_DEVICES", "0012AB0003=1,USB Disk\r\n0000010001=0,Optical Mouse\r\n0000200004=0,Printer\r\n"},
             {"KIV_FAKE_USB_LOG", UsbLog().string()}});
        // The shell has started once the application is asked for; the window
        // shows a moment later.
        ASSERT_TRUE(test::WaitFor([&] { return harness.ReceivedStarting("5A2E070400" + Hex("APP0001")); }, 30s))
            << "the session did not come up";
        ASSERT_TRUE(test::WaitFor([&] { return SessionWindow() != 0; }, 10s));
        std::this_thread::sleep_for(500ms);
    }

    std::string Output(const std::vector<std::string>& argv) { return harness.Output(argv); }
    void Xdotool(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{"/usr/bin/xdotool"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        harness.Run(argv)->Wait(10s);
    }

    TGeometry Geometry(unsigned long window) {
        const std::string info = Output({"/usr/bin/xwininfo", "-id", std::to_string(window)});
        auto number = [&](const char* pattern) {
            std::smatch m;
            return std::regex_search(info, m, std::regex(pattern)) ? std::stoi(m[1]) : -1;
        };
        return {number("Absolute upper-left X: +(-?[0-9]+)"), number("Absolute upper-left Y: +(-?[0-9]+)"),
                number("Width: +([0-9]+)"), number("Height: +([0-9]+)")};
    }
    // The client's visible windows, largest first: the session window, then a menu.
    std::vector<std::pair<unsigned long, TGeometry>> ClientWindows() {
        std::vector<std::pair<unsigned long, TGeometry>> windows;
        std::istringstream ids(Output({"/usr/bin/xdotool", "search", "--onlyvisible", "--classname", "kivclient"}));
        for (std::string id; std::getline(ids, id);)
            if (!id.empty()) windows.emplace_back(std::stoul(id), Geometry(std::stoul(id)));
        std::sort(windows.begin(), windows.end(), [](const auto& a, const auto& b) {
            return a.second.width * a.second.height > b.second.width * b.second.height;
        });
        return windows;
    }
    unsigned long SessionWindow() {
        const auto windows = ClientWindows();
        return windows.empty() || windows[0].second.width < 300 ? 0 : windows[0].first;
    }

    uint32_t PixelAt(int x, int y) { return harness.PixelAt(x, y); }
    static bool Near(uint32_t a, uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 12) return false;
        return true;
    }

    std::filesystem::path UsbLog() const { return harness.Dir().path() / "usb.log"; }
    std::string UsbCalls() const {
        std::ifstream in(UsbLog());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Kept beside the build's other test pictures: the first monitor only.
    void Screenshot(const std::string& name) {
        const auto artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        std::filesystem::create_directories(artifacts);
        harness.Run({"/usr/bin/import", "-window", "root", "-crop", "1280x800+0+0", (artifacts / name).string()})
            ->Wait(10s);
    }

    test::ClientSessionHarness harness{"2560x800x24"};
    int port = 0;
    std::unique_ptr<test::ChildProcess> client;
};

TEST_F(FrameEndToEnd, HotKeyMovesTheWindowBetweenTheMonitors) {
    Start(0);
    const unsigned long window = SessionWindow();
    const TGeometry first = Geometry(window);
    EXPECT_EQ(first.width, 800);
    EXPECT_EQ(first.x, (kMonitorWidth - 800) / 2) << "centred on the first monitor";
    Screenshot("frame-mode0.png");

    Xdotool({"key", "alt+g"});
    EXPECT_TRUE(test::WaitFor([&] { return Geometry(window).x == kMonitorWidth + (kMonitorWidth - 800) / 2; }, 5s))
        << "the window stays at x " << Geometry(window).x;
    EXPECT_EQ(Geometry(window).y, first.y);
    Xdotool({"key", "alt+g"});
    EXPECT_TRUE(test::WaitFor([&] { return Geometry(window).x == first.x; }, 5s)) << "not back on the first monitor";
}

TEST_F(FrameEndToEnd, FullScreenToolbarDropsDownAtTheTopEdgeAndGoesUpAgain) {
    Start(1);
    const TGeometry whole = Geometry(SessionWindow());
    ASSERT_EQ(whole.x, 0);
    ASSERT_EQ(whole.width, kMonitorWidth);
    const int middle = kMonitorWidth / 2;
    // Outside the strip above the toolbar (800 wide, centred) nothing drops down.
    Xdotool({"mousemove", "100", "1"});
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(Near(PixelAt(middle, 15), kToolbarColour));
    Xdotool({"mousemove", std::to_string(middle), "1"});
    EXPECT_TRUE(test::WaitFor([&] { return Near(PixelAt(middle, 15), kToolbarColour); }, 5s)) << "no toolbar";
    Xdotool({"mousemove", std::to_string(middle), "20"});  // on the toolbar it stays
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(Near(PixelAt(middle, 15), kToolbarColour));
    Screenshot("frame-mode1.png");
    Xdotool({"mousemove", std::to_string(middle), "400"});
    EXPECT_TRUE(test::WaitFor([&] { return !Near(PixelAt(middle, 15), kToolbarColour); }, 5s))
        << "the toolbar stayed down";
}

TEST_F(FrameEndToEnd, BorderDragResizesTheWindowAndTheServerHearsTheDesktopSize) {
    Start(0, {"--display-control"});
    // The display-control channel: the desktop is asked for at the view's size.
    auto layouts = [&] {
        std::vector<std::pair<int, int>> sizes;
        for (const auto& e : harness.TranscriptEvents("display-layout")) sizes.emplace_back(e["width"], e["height"]);
        return sizes;
    };
    ASSERT_TRUE(test::WaitFor([&] { return !layouts().empty(); }, 5s)) << "no monitor layout";
    EXPECT_EQ(layouts()[0], std::make_pair(798, 568));
    const unsigned long window = SessionWindow();
    const TGeometry before = Geometry(window);
    const int right = before.x + before.width - 1, bottom = before.y + before.height - 1;
    Xdotool({"mousemove", std::to_string(right), std::to_string(bottom), "sleep", "0.3", "mousedown", "1", "sleep",
             "0.3", "mousemove", std::to_string(right + 50), std::to_string(bottom + 20), "sleep", "0.2", "mousemove",
             std::to_string(right + 100), std::to_string(bottom + 50), "sleep", "0.3", "mouseup", "1"});
    EXPECT_TRUE(test::WaitFor(
        [&] {
            const TGeometry g = Geometry(window);
            return g.width == 900 && g.height == 650;
        },
        5s))
        << Geometry(window).width << "x" << Geometry(window).height;
    // The remote desktop view: the window less the toolbar (30) and the one-pixel border.
    const std::string desktopSize = "5A2E070005" + std::string(24, '0') + "82030000" + "6A020000";
    EXPECT_TRUE(test::WaitFor([&] { return harness.ReceivedStarting(desktopSize); }, 5s)) << "no SHELL_DESKTOP_SIZE 898x618";
    EXPECT_TRUE(test::WaitFor([&] { return layouts().back() == std::make_pair(898, 618); }, 5s))
        << "the display-control channel did not ask for the new size";
    // The record holds the new size: the window is placed with it, centred again.
    EXPECT_EQ(Geometry(window).x, (kMonitorWidth - 900) / 2);
}

TEST_F(FrameEndToEnd, DeviceMenuListsTheLibrarysDevicesAndAClickRedirectsOne) {
    Start(2);
    const unsigned long window = SessionWindow();
    const TGeometry frame = Geometry(window);
    EXPECT_EQ(frame.width, kMonitorWidth * 60 / 100) << "proportional: 60 percent of the work area";
    Screenshot("frame-mode2.png");
    // btnMenu keeps 113 pixels to the toolbar's right edge.
    Xdotool({"mousemove", std::to_string(frame.x + frame.width - 113 + 8), std::to_string(frame.y + 16), "click", "1"});
    ASSERT_TRUE(test::WaitFor([&] { return ClientWindows().size() >= 2; }, 5s)) << "no menu";
    ASSERT_TRUE(test::WaitFor([&] { return UsbCalls().find("GetUsbList buffer size=") != std::string::npos; }, 5s));
    std::this_thread::sleep_for(300ms);
    Screenshot("frame-device-menu.png");
    // Two items (the mouse is not offered); the second is the printer.
    const TGeometry menu = ClientWindows()[1].second;
    Xdotool({"mousemove", std::to_string(menu.x + menu.width / 2), std::to_string(menu.y + menu.height * 3 / 4),
             "click", "1"});
    EXPECT_TRUE(test::WaitFor(
        [&] { return UsbCalls().find("RedirectUsb key=" + std::to_string(0x20 * 65536 + 4) + " value=0") != std::string::npos; },
        5s))
        << UsbCalls();
    EXPECT_EQ(UsbCalls().find("RedirectUsb key=65537"), std::string::npos);
}

}  // namespace
}  // namespace kiv
