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
#include <thread>

#include "XWindowProbe.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegion.h"
#include "channels/SmlRegionBlock.h"
#include "channels/SmlWindowMsg.h"
#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"
#include "tools/demo-server/ServerDesktop.h"

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

    // Every command the server received of this kind, whatever the window.
    int ReceivedAnyCommand(const std::string& commandHex) {
        int n = 0;
        for (const std::string& hex : harness.ReceivedOnCsml())
            if (hex.rfind("3FEE03", 0) == 0 && hex.size() >= 26 && hex.substr(22, 4) == commandHex) ++n;
        return n;
    }
    // xwininfo's facts of a window: "x", "y", "width", "height", "viewable".
    std::map<std::string, int> WindowInfo(uint32_t window) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%x", window);
        const std::string info = Output({"/usr/bin/xwininfo", "-id", id});
        std::map<std::string, int> facts;
        std::smatch m;
        const std::pair<const char*, const char*> keys[] = {
            {"x", "Absolute upper-left X: +(-?[0-9]+)"}, {"y", "Absolute upper-left Y: +(-?[0-9]+)"},
            {"width", "Width: +([0-9]+)"}, {"height", "Height: +([0-9]+)"}};
        for (const auto& [key, pattern] : keys)
            if (std::regex_search(info, m, std::regex(pattern))) facts[key] = std::stoi(m[1]);
        facts["viewable"] = info.find("IsViewable") != std::string::npos;
        return facts;
    }
    uint32_t ActiveWindow() {
        std::smatch m;
        const std::string out = Output({"/usr/bin/xprop", "-root", "_NET_ACTIVE_WINDOW"});
        return std::regex_search(out, m, std::regex("0x[0-9a-f]+")) ? static_cast<uint32_t>(std::stoul(m.str(), nullptr, 16)) : 0;
    }
    // A point in a window's body, clear of its text, frame and corners.
    static std::pair<int, int> BodyPoint(const Json& w, int fromRight = 0) {
        const int x = fromRight ? w["right"].get<int>() - fromRight : (w["left"].get<int>() + w["right"].get<int>()) / 2;
        return {x, (w["top"].get<int>() + w["bottom"].get<int>()) / 2 + 60};
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

// What the shape newly takes in shows the server window from the desktop the
// view already holds at once, not when the server happens to paint there again:
// the server paints a moved window a while before its update arrives.
TEST_F(SeamlessEndToEnd, WhatTheShapeTakesInShowsTheWindowAtOnce) {
    Start({"--move-every-ms", "2500", "--move-update-after-ms", "400"});
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("create").empty(); }, 20s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    Screenshot("seamless-move-before.png");
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("move").empty(); }, 10s));
    std::this_thread::sleep_for(100ms);
    const Json created = WindowEvents("create")[0], moved = WindowEvents("move")[0];
    const bool rightwards = moved["left"].get<int>() > created["left"].get<int>();
    const auto [edgeX, edgeY] = rightwards ? BodyPoint(moved, 6) : std::pair{moved["left"].get<int>() + 6, BodyPoint(moved).second};
    EXPECT_EQ(harness.PixelAt(edgeX, edgeY), demo::kWindowBodyColour) << "the leading edge of a moved window";
    Screenshot("seamless-move-after.png");

    const int64_t handle = created["handle"];
    char id[16];
    std::snprintf(id, sizeof id, "0x%x", Named("APP0001 - demo")->id);
    harness.Run({"/usr/bin/xdotool", "windowminimize", id})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("minimize").empty(); }, 5s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    Screenshot("seamless-restore-before.png");
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("restore").empty(); }, 5s));
    std::this_thread::sleep_for(100ms);
    const Json restored = WindowEvents("restore")[0];
    EXPECT_EQ(restored["handle"], handle);
    const auto [x, y] = BodyPoint(restored);
    EXPECT_EQ(harness.PixelAt(x, y), demo::kWindowBodyColour) << "the body of a restored window";
    Screenshot("seamless-restore-after.png");
    client->Terminate();
}

// Making a taskbar window activates it, as the client's own act: the server
// hears nothing of it, and hears of every activation the user makes.
TEST_F(SeamlessEndToEnd, OnlyTheUsersActivationsReachTheServer) {
    Start({"--windows", "16"});
    ASSERT_TRUE(test::WaitFor([&] { return WindowEvents("create").size() == 16; }, 20s));
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo 16").has_value(); }, 10s));
    std::this_thread::sleep_for(2500ms);  // longer than the window manager may take to answer
    EXPECT_EQ(ReceivedAnyCommand("0010"), 0) << "activations nobody made";
    const int64_t fifth = WindowEvents("create")[4]["handle"];
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo 5"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedCommands(fifth, "0010") == 1; }, 5s));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ReceivedAnyCommand("0010"), 1);
    client->Terminate();
}

// A taskbar window stands (invisibly) where its server window is, and follows it.
TEST_F(SeamlessEndToEnd, TaskbarWindowsStandWhereTheirServerWindowsAre) {
    Start({"--move-every-ms", "1000"});
    ASSERT_TRUE(test::WaitFor([&] { return WindowEvents("move").size() >= 2; }, 20s));
    auto at = [&](const Json& w) {
        const auto info = WindowInfo(Named("APP0001 - demo")->id);
        return info.at("x") == w["left"].get<int>() && info.at("y") == w["top"].get<int>() &&
               info.at("width") == w["right"].get<int>() - w["left"].get<int>() &&
               info.at("height") == w["bottom"].get<int>() - w["top"].get<int>();
    };
    EXPECT_TRUE(test::WaitFor([&] { return at(WindowEvents("move").back()); }, 3s))
        << "the taskbar window is not where its server window went";
    client->Terminate();
}

// In seamless mode the remote desktop is as large as the local screen.
TEST_F(SeamlessEndToEnd, TheRemoteDesktopCoversTheScreen) {
    Start({});
    ASSERT_TRUE(test::WaitFor([&] { return !harness.TranscriptEvents("active").empty(); }, 20s));
    const Json active = harness.TranscriptEvents("active")[0];
    EXPECT_EQ(active["width"], 1280);
    EXPECT_EQ(active["height"], 800);
    client->Terminate();
}

// "Show desktop" hides the session window with every local window; the first
// activation of a taskbar button brings it back. The window manager offers no
// way to minimise or move it.
TEST_F(SeamlessEndToEnd, TheSessionWindowComesBackAfterShowDesktop) {
    Start({});
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo").has_value(); }, 20s));
    ASSERT_TRUE(ShapeFollowsTheServer());
    const uint32_t session = SessionWindow()->id;
    char id[16];
    std::snprintf(id, sizeof id, "0x%x", session);
    const std::string actions = Output({"/usr/bin/xprop", "-id", id, "_NET_WM_ALLOWED_ACTIONS"});
    for (const char* action : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MOVE", "_NET_WM_ACTION_RESIZE"})
        EXPECT_EQ(actions.find(action), std::string::npos) << action << " in " << actions;

    harness.Run({"/usr/bin/wmctrl", "-k", "on"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return !WindowInfo(session).at("viewable"); }, 5s)) << "show desktop left it";
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo"})->Wait(5s);
    EXPECT_TRUE(test::WaitFor([&] { return WindowInfo(session).at("viewable") == 1; }, 5s))
        << "the session window stayed hidden";
    const auto [x, y] = BodyPoint(WindowEvents("create")[0]);
    EXPECT_TRUE(test::WaitFor([&] { return harness.PixelAt(x, y) == demo::kWindowBodyColour; }, 5s));
    Screenshot("seamless-after-show-desktop.png");
    client->Terminate();
}

// The window manager's close of the session window (Alt+F4, here asked for as a
// pager asks it, so the test does not hang on the window manager's key grabs)
// closes the active server window; the question whether to quit stays for the
// session's own close.
TEST_F(SeamlessEndToEnd, ClosingTheSessionWindowClosesTheActiveServerWindow) {
    Start({"--windows", "2"});
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo 2").has_value(); }, 20s));
    const int64_t second = WindowEvents("create")[1]["handle"];
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo 2"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedCommands(second, "0010") == 1; }, 5s));
    const uint32_t session = SessionWindow()->id;
    ASSERT_TRUE(test::WaitFor([&] { return ActiveWindow() == session; }, 5s)) << "the session window is not active";
    harness.Run({"/usr/bin/wmctrl", "-c", ":ACTIVE:"})->Wait(5s);
    EXPECT_TRUE(test::WaitFor([&] { return ReceivedCommands(second, "0020") == 1; }, 5s)) << "no SML_CMD_CLOSE";
    EXPECT_TRUE(test::WaitFor([&] { return WindowEvents("destroy").size() == 1; }, 5s));
    EXPECT_TRUE(harness.MessageBoxes().empty()) << "asked to quit";
    EXPECT_TRUE(client->Running());
    client->Terminate();
}

// Alt+Shift+Space asks the server for the active window's menu; the menu's end
// is reported when the server's menu goes, not at once.
TEST_F(SeamlessEndToEnd, AltShiftSpaceOpensTheWindowMenu) {
    Start({});
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo").has_value(); }, 20s));
    const int64_t handle = WindowEvents("create")[0]["handle"];
    harness.Run({"/usr/bin/wmctrl", "-F", "-a", "APP0001 - demo"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedCommands(handle, "0010") == 1; }, 5s));
    ASSERT_TRUE(test::WaitFor([&] { return ActiveWindow() == SessionWindow()->id; }, 5s));
    harness.Run({"/usr/bin/xdotool", "key", "alt+shift+space"})->Wait(5s);
    ASSERT_TRUE(test::WaitFor([&] { return ReceivedCommands(handle, "0001") == 1; }, 5s)) << "no SML_CMD_SYSMENU";
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("menu").empty(); }, 5s));
    Screenshot("seamless-window-menu.png");
    EXPECT_EQ(ReceivedCommands(handle, "0002"), 0) << "SML_CMD_MENU_DONE while the menu is open";
    ASSERT_TRUE(test::WaitFor([&] { return !WindowEvents("menu-close").empty(); }, 10s));
    EXPECT_TRUE(test::WaitFor([&] { return ReceivedCommands(handle, "0002") == 1; }, 5s)) << "no SML_CMD_MENU_DONE";
    client->Terminate();
}

// A server window without a title gets a button labelled with the application's name.
TEST_F(SeamlessEndToEnd, AWindowWithoutATitleIsNamedAfterTheApplication) {
    // After the application start: a window of handle 0x7777, in the taskbar, with no title.
    Start({"--step", "after recv CSML 5A2E07 0400 3s send CSML 3FEE03 7777000000000000 0400 01 00000000 "
                     "00000000 0000CF16 6400 6400 2C01 F401 00000000"});
    ASSERT_TRUE(test::WaitFor([&] { return Named("APP0001 - demo").has_value(); }, 20s));
    EXPECT_TRUE(test::WaitFor([&] { return Named("Notepad").has_value(); }, 10s)) << "no button named after the application";
    client->Terminate();
}

// The server shell asks where the notification area is: the answer lies on the
// screen, at the tray the user sees.
TEST_F(SeamlessEndToEnd, TheTrayPointIsAtTheVisibleTray) {
    Start({"--tray", "--step", "after recv CSML 5A2E07 0400 2s send CSML 5A2E07 0108 00000000 00000000 00000000 00"});
    std::string answer;
    ASSERT_TRUE(test::WaitFor([&] {
        for (const std::string& hex : harness.ReceivedOnCsml())
            if (hex.rfind("5A2E070200", 0) == 0 && hex.size() >= 50) answer = hex;
        return !answer.empty();
    }, 20s)) << "no SHELL_TRAY_POINT";
    const auto bytes = FromHex(answer.substr(42, 8));
    const int x = static_cast<int16_t>(bytes[0] | (bytes[1] << 8)), y = static_cast<int16_t>(bytes[2] | (bytes[3] << 8));
    // Where the tray shows the session's own icons.
    std::vector<std::map<std::string, int>> icons;
    ASSERT_TRUE(test::WaitFor([&] {
        icons.clear();
        std::istringstream ids(Output({"/usr/bin/xdotool", "search", "--onlyvisible", "--classname", "kivtrayicon"}));
        for (std::string line; std::getline(ids, line);)
            if (!line.empty()) icons.push_back(WindowInfo(static_cast<uint32_t>(std::stoul(line))));
        return !icons.empty();
    }, 10s));
    int left = INT32_MAX, top = INT32_MAX;
    for (const auto& icon : icons) {
        left = std::min(left, icon.at("x"));
        top = std::min(top, icon.at("y"));
    }
    EXPECT_TRUE(x >= 0 && x < 1280 && y >= 0 && y < 800) << x << "," << y;
    EXPECT_GE(x, left - 100 - 64) << "far left of the tray at " << left;
    EXPECT_LE(x, left);
    EXPECT_GE(y, top - 5 - 64) << "far above the tray at " << top;
    EXPECT_LE(y, top + 64);
    client->Terminate();
}

}  // namespace
}  // namespace kiv
