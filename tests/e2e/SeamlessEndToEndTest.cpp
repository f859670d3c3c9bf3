// Seamless windows end to end: kivclient in seamless mode against the demo
// server's shell, on a private display with openbox and tint2. What the server
// publishes must become the session window's X shape and the panel's buttons,
// and what the user does with the buttons must reach the server.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "XWindowProbe.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegion.h"
#include "channels/SmlRegionBlock.h"
#include "channels/SmlWindowMsg.h"
#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The 8-byte handle as it lies in a seamless message, in upper-case hex.
std::string HandleHex(int64_t handle) {
    std::string hex;
    char byte[3];
    for (int i = 0; i < 8; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", static_cast<unsigned>((static_cast<uint64_t>(handle) >> (8 * i)) & 0xFF));
        hex += byte;
    }
    return hex;
}

struct TXWindow {
    uint32_t id = 0;
    std::string wmClass;
    std::string name;
    std::string state;
    bool icon = false;
};

class SeamlessEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
        probe = std::make_unique<test::XWindowProbe>(harness.Env().at("DISPLAY"));
        if (!probe->Ready()) GTEST_SKIP() << probe->Error();
    }

    void Start(const std::vector<std::string>& serverOptions) {
        port = harness.StartServer(serverOptions);
        ASSERT_NE(port, 0);
        const auto file = harness.Dir().Write(
            "seamless.kiv", "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=3\r\n"
                            "Color=4\r\nShareSession=0\r\n[Application]\r\nApp_id=APP0001\r\nApp_name=Notepad\r\n"
                            "App_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:" + std::to_string(port) +
                                "\r\nLogin_User=" + EncodeCredential("ann") + "\r\nLogin_PassWord=" +
                                EncodeCredential("secret") + "\r\n");
        client = harness.StartClient({file.string()});
    }

    // A program's standard output, once it ended.
    std::string Output(const std::vector<std::string>& argv) {
        auto run = harness.Run(argv);
        std::string out;
        while (auto line = run->ReadLine(5s)) out += *line + "\n";
        run->Wait(5s);
        return out;
    }

    std::vector<TXWindow> ClientList() {
        std::vector<TXWindow> windows;
        const std::string list = Output({"/usr/bin/xprop", "-root", "_NET_CLIENT_LIST"});
        const std::regex id("0x[0-9a-f]+");
        for (auto it = std::sregex_iterator(list.begin(), list.end(), id); it != std::sregex_iterator(); ++it) {
            TXWindow w;
            w.id = static_cast<uint32_t>(std::stoul(it->str(), nullptr, 16));
            const std::string props =
                Output({"/usr/bin/xprop", "-id", it->str(), "WM_CLASS", "_NET_WM_NAME", "_NET_WM_STATE", "_NET_WM_ICON"});
            std::istringstream in(props);
            for (std::string line; std::getline(in, line);) {
                auto value = [&] { return line.substr(line.find('=') + 1); };
                if (line.rfind("WM_CLASS", 0) == 0) w.wmClass = value();
                if (line.rfind("_NET_WM_NAME", 0) == 0 && line.find('=') != std::string::npos) {
                    const auto first = line.find('"');
                    w.name = line.substr(first + 1, line.rfind('"') - first - 1);
                }
                if (line.rfind("_NET_WM_STATE", 0) == 0) w.state = value();
                if (line.rfind("_NET_WM_ICON(CARDINAL)", 0) == 0) w.icon = true;
            }
            windows.push_back(w);
        }
        return windows;
    }
    std::optional<TXWindow> Named(const std::string& name) {
        for (const TXWindow& w : ClientList())
            if (w.name == name) return w;
        return std::nullopt;
    }
    std::optional<TXWindow> SessionWindow() {
        for (const TXWindow& w : ClientList())
            if (w.wmClass.find("\"kivclient\"") != std::string::npos) return w;
        return std::nullopt;
    }

    // The session window's bounding shape on the screen, as disjoint bands.
    TSmlRegion SessionShape(const TXWindow& session) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", session.id);
        const std::string info = Output({"/usr/bin/xwininfo", "-id", id});
        std::smatch m;
        int x = 0, y = 0;
        if (std::regex_search(info, m, std::regex("Absolute upper-left X: +(-?[0-9]+)"))) x = std::stoi(m[1]);
        if (std::regex_search(info, m, std::regex("Absolute upper-left Y: +(-?[0-9]+)"))) y = std::stoi(m[1]);
        std::vector<TSmlRect> rects = probe->Shape(session.id);
        for (TSmlRect& r : rects) r = {r.left + x, r.top + y, r.right + x, r.bottom + y};
        return TSmlRegion::Union(rects);
    }

    // What the server published, played forward: the union of every window it
    // left on the screen (each its rectangle, cut to its region when it has
    // one), plus the corner pixel the session window always keeps.
    TSmlRegion PublishedShape() {
        struct TPublished {
            TSmlRect rect;
            std::vector<TSmlRect> region;
        };
        std::map<int64_t, TPublished> windows;
        for (const Json& line : harness.TranscriptEvents("send")) {
            const auto bytes = FromHex(line.value("hex", ""));
            const auto parts = SplitSmlWindowMsg(bytes.data(), static_cast<int32_t>(bytes.size()));
            if (line.value("channel", "") != "CSML" || bytes.size() < 38 || bytes[0] != 0x3F || !parts) continue;
            const TSmlWindowMsg& h = parts->header;
            if (h.Flags & SML_DESTROY) {
                windows.erase(h.ServerHandle);
                continue;
            }
            TPublished& w = windows[h.ServerHandle];
            w.rect = {h.Left, h.Top, h.Right, h.Bottom};
            w.region.clear();
            if (const auto block = MakeScreenRegionBlock(parts->region, h.Left, h.Top)) w.region = RegionBlockRects(*block);
        }
        std::vector<TSmlRect> parts{{0, 0, 1, 1}};
        for (const auto& [handle, w] : windows) {
            if (w.rect.right < 0 && w.rect.bottom < 0) continue;  // parked: minimized
            if (w.region.empty()) parts.push_back(w.rect);
            for (const TSmlRect& r : w.region) parts.push_back(Intersect(w.rect, r));
        }
        return TSmlRegion::Union(parts);
    }

    // Waits until the session window's shape is what the server published.
    ::testing::AssertionResult ShapeFollowsTheServer() {
        TSmlRegion shape, published;
        const bool same = test::WaitFor(
            [&] {
                const auto session = SessionWindow();
                if (!session) return false;
                shape = SessionShape(*session);
                published = PublishedShape();
                return shape.Rects() == published.Rects();
            },
            10s);
        if (same) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "shape " << shape.Rects().size() << " rects, area " << shape.Area()
                                             << "; published " << published.Rects().size() << " rects, area "
                                             << published.Area();
    }

    std::vector<Json> WindowEvents(const std::string& action) {
        std::vector<Json> events;
        for (const Json& e : harness.TranscriptEvents("window"))
            if (e.value("action", "") == action) events.push_back(e);
        return events;
    }
    int ReceivedCommands(int64_t handle, const std::string& commandHex) {
        int n = 0;
        for (const std::string& hex : harness.ReceivedOnCsml())
            if (hex.rfind("3FEE03" + HandleHex(handle) + commandHex, 0) == 0) ++n;
        return n;
    }

    void Screenshot(const std::string& name) {
        const auto artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        std::filesystem::create_directories(artifacts);
        harness.Run({"/usr/bin/import", "-window", "root", (artifacts / name).string()})->Wait(10s);
    }

    test::ClientSessionHarness harness;
    std::unique_ptr<test::XWindowProbe> probe;
    std::unique_ptr<test::ChildProcess> client;
    int port = 0;
};

TEST_F(SeamlessEndToEnd, PublishedWindowsShapeTheSessionWindowAndGetTaskbarButtons) {
    Start({});
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("create").empty(); }, 20s)) << "no window was published";
    ASSERT_TRUE(ShapeFollowsTheServer());
    const Json first = WindowEvents("create")[0];
    // The rounded corner is cut out of the shape, the window's edge is in it.
    const TSmlRegion oneWindow = SessionShape(*SessionWindow());
    const int left = first["left"], top = first["top"], right = first["right"], bottom = first["bottom"];
    EXPECT_FALSE(oneWindow.Contains(left, top));
    EXPECT_TRUE(oneWindow.Contains(left, (top + bottom) / 2));
    EXPECT_TRUE(oneWindow.Contains((left + right) / 2, top));
    EXPECT_FALSE(oneWindow.Contains(right, (top + bottom) / 2));

    const auto session = SessionWindow();
    ASSERT_TRUE(session.has_value());
    EXPECT_NE(session->state.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << session->state;
    const auto button = Named("APP0001 - demo");
    ASSERT_TRUE(button.has_value()) << "no taskbar window for the application";
    EXPECT_TRUE(button->icon);
    EXPECT_EQ(button->wmClass.find("kivclient"), std::string::npos);

    // A second application: a second window, a second button, a larger shape.
    harness.Run({KIVTOOL_PATH, "send-window-message", "0x1850", "APP0002"})->Wait(10s);
    ASSERT_TRUE(test::WaitFor([&] { return WindowEvents("create").size() == 2; }, 15s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    EXPECT_GT(SessionShape(*SessionWindow()).Area(), oneWindow.Area());
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0002 - demo").has_value(); }, 5s));
    EXPECT_TRUE(Named("APP0002 - demo")->icon);
    Screenshot("seamless-two-windows.png");

    // Outside the server windows a click reaches the local window underneath;
    // inside them it goes to the session.
    const uint32_t local = probe->CreateLocalWindow(0, 0, 1024, 700);
    ASSERT_NE(local, 0u);
    const TSmlRegion shape = SessionShape(*SessionWindow());
    int outsideX = 1000, outsideY = 690;
    ASSERT_FALSE(shape.Contains(outsideX, outsideY));
    harness.Run({"/usr/bin/xdotool", "mousemove", std::to_string(outsideX), std::to_string(outsideY), "click", "1"})->Wait(5s);
    EXPECT_TRUE(probe->WaitButtonPress(local, 3s)) << "the click outside the shape did not reach the local window";
    const int insideX = (left + right) / 2, insideY = bottom - 20;
    ASSERT_TRUE(shape.Contains(insideX, insideY));
    harness.Run({"/usr/bin/xdotool", "mousemove", std::to_string(insideX), std::to_string(insideY), "click", "1"})->Wait(5s);
    EXPECT_FALSE(probe->WaitButtonPress(local, 700ms)) << "a click on a server window fell through";
    client->Terminate();
}

TEST_F(SeamlessEndToEnd, TheTaskbarButtonsActivateAndCloseTheServerWindows) {
    Start({"--windows", "2"});
    ASSERT_TRUE(test::WaitFor([&] { return WindowEvents("create").size() == 2; }, 20s));
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo").has_value() && Named("APP0001 - demo 2").has_value(); }, 10s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    const int64_t first = WindowEvents("create")[0]["handle"];
    const int64_t second = WindowEvents("create")[1]["handle"];
    const TSmlRegion both = SessionShape(*SessionWindow());

    // Activating the first window's button: SML_CMD_ACTIVATE, and the server raises it.
    const int activations = ReceivedCommands(first, "0010");
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo"})->Wait(5s);
    EXPECT_TRUE(test::WaitFor([&] { return ReceivedCommands(first, "0010") > activations; }, 5s))
        << "no SML_CMD_ACTIVATE for the first window";
    EXPECT_TRUE(test::WaitFor([&] { return !WindowEvents("activate").empty(); }, 5s));

    // Closing the second window's button: SML_CMD_CLOSE, the server destroys it, the shape shrinks.
    harness.Run({"/usr/bin/wmctrl", "-F", "-c", "APP0001 - demo 2"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedCommands(second, "0020") == 1; }, 5s)) << "no SML_CMD_CLOSE";
    ASSERT_TRUE(test::WaitFor([&] { return WindowEvents("destroy").size() == 1; }, 5s));
    EXPECT_EQ(WindowEvents("destroy")[0]["handle"], second);
    bool destroySent = false;
    for (const Json& line : harness.TranscriptEvents("send"))
        destroySent = destroySent || line.value("hex", "").rfind("3FEE03" + HandleHex(second) + "1000", 0) == 0;
    EXPECT_TRUE(destroySent) << "no destroy message (Flags 0x0010) went out";
    ASSERT_TRUE(ShapeFollowsTheServer());
    EXPECT_LT(SessionShape(*SessionWindow()).Area(), both.Area());
    EXPECT_TRUE(test::WaitFor([&] { return !Named("APP0001 - demo 2").has_value(); }, 5s));
    EXPECT_TRUE(Named("APP0001 - demo").has_value());
    Screenshot("seamless-after-close.png");
    client->Terminate();
}

TEST_F(SeamlessEndToEnd, AServerMenuIsClippedInWithoutAButtonAndMinimizedWindowsLeaveTheShape) {
    Start({"--menu"});
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("menu").empty(); }, 20s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    const Json menu = WindowEvents("menu")[0];
    const Json window = WindowEvents("create")[0];
    ASSERT_GT(menu["right"].get<int>(), window["right"].get<int>()) << "the menu reaches out of its window";
    const TSmlRegion shape = SessionShape(*SessionWindow());
    EXPECT_TRUE(shape.Contains(menu["right"].get<int>() - 3, menu["bottom"].get<int>() - 3));
    EXPECT_FALSE(shape.Contains(menu["right"].get<int>() + 3, menu["bottom"].get<int>() - 3));
    EXPECT_TRUE(WindowEvents("menu-close").empty());
    Screenshot("seamless-menu.png");
    int buttons = 0;
    for (const TXWindow& w : ClientList())
        if (w.wmClass.find("TKiv") != std::string::npos) ++buttons;
    EXPECT_EQ(buttons, 1) << "the menu must not get a taskbar button";

    // Minimized from the panel: the server parks the window, the shape lets it go.
    const int64_t handle = WindowEvents("create")[0]["handle"];
    char id[16];
    std::snprintf(id, sizeof id, "0x%x", Named("APP0001 - demo")->id);
    harness.Run({"/usr/bin/xdotool", "windowminimize", id})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("minimize").empty(); }, 5s))
        << "the client did not report the minimized window";
    EXPECT_EQ(WindowEvents("minimize")[0]["handle"], handle);
    ASSERT_TRUE(ShapeFollowsTheServer());
    const TSmlRegion after = SessionShape(*SessionWindow());
    const int left = WindowEvents("create")[0]["left"], bottom = WindowEvents("create")[0]["bottom"];
    EXPECT_FALSE(after.Contains(left + 20, bottom - 20));
    client->Terminate();
}

TEST_F(SeamlessEndToEnd, ADroppedSessionComesBackWithItsWindows) {
    Start({"--reconnect-after-ms", "1000"});
    auto shellStates = [&] {
        std::vector<std::string> states;
        for (const Json& e : harness.TranscriptEvents("shell")) states.push_back(e.value("state", ""));
        return states;
    };
    ASSERT_TRUE(test::WaitFor([&] { return shellStates().size() >= 3; }, 25s)) << "no reconnection";
    EXPECT_EQ(shellStates(), (std::vector<std::string>{"started", "reconnect-drop", "reconnected"}));
    // The client said it is back, and no message bothered the user.
    EXPECT_TRUE(test::WaitFor([&] { return harness.ReceivedStarting("5A2E070080"); }, 5s)) << "no SHELL_RECONNECTED";
    ASSERT_TRUE(ShapeFollowsTheServer());
    EXPECT_TRUE(harness.MessageBoxes().empty());
    int buttons = 0;
    for (const TXWindow& w : ClientList())
        if (w.wmClass.find("TKiv") != std::string::npos) ++buttons;
    EXPECT_EQ(buttons, 1) << "the window keeps its one button across the reconnection";
    client->Terminate();
}

}  // namespace
}  // namespace kiv
