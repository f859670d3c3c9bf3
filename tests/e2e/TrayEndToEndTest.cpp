// Tray icons end to end: kivclient against the demo server's shell with its
// tray icons (--tray), on a private display with openbox and tint2. What the
// server puts in its tray must dock in tint2's tray, every button pressed and
// released on an icon must reach the server, and the icons must survive a tray
// that dies and comes back.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

struct TDockedIcon {
    std::string id;  // the X window, as xdotool names it
    int x = 0;       // the centre, in screen pixels
    int y = 0;
    int depth = 0;
};

// The colour of each server icon's image at its centre (id 1 shows the image of id 2).
const std::map<int, uint32_t> kIconColour{{1, 0xC0392B}, {5000, 0x27AE60}, {6000, 0x8E44AD}};
const std::map<int, int> kCallback{{1, 0x0401}, {5000, 0x8001}, {6000, 0x8002}};

class TrayEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
    }

    void Start(const std::string& appTypeMode) {
        const int port = harness.StartServer({"--tray"});
        ASSERT_NE(port, 0);
        const auto file = harness.Dir().Write(
            "tray.kiv", "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=0\r\n"
                        "Width=800\r\nHeight=600\r\nColor=4\r\nShareSession=0\r\n[Application]\r\nApp_id=APP0001\r\n"
                        "App_name=Notepad\r\nApp_type_mode=" + appTypeMode + "\r\n[Server]\r\nServer_Address=127.0.0.1:" +
                            std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                            "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
        client = harness.StartClient({file.string()});
    }

    std::string Output(const std::vector<std::string>& argv) {
        auto run = harness.Run(argv);
        std::string out;
        while (auto line = run->ReadLine(5s)) out += *line + "\n";
        run->Wait(5s);
        return out;
    }

    // The client's icon windows that are on the screen: docked in the tray.
    std::vector<TDockedIcon> Docked() {
        std::vector<TDockedIcon> icons;
        std::istringstream ids(Output({"/usr/bin/xdotool", "search", "--onlyvisible", "--classname", "kivtrayicon"}));
        for (std::string id; std::getline(ids, id);) {
            const std::string info = Output({"/usr/bin/xwininfo", "-id", id});
            std::smatch m;
            auto number = [&](const char* pattern) {
                return std::regex_search(info, m, std::regex(pattern)) ? std::stoi(m[1]) : -1;
            };
            if (info.find("IsViewable") == std::string::npos) continue;
            icons.push_back({id, number("Absolute upper-left X: +(-?[0-9]+)") + number("Width: +([0-9]+)") / 2,
                             number("Absolute upper-left Y: +(-?[0-9]+)") + number("Height: +([0-9]+)") / 2,
                             number("Depth: +([0-9]+)")});
        }
        return icons;
    }
    // A window of the client's that is a tooltip is on the screen.
    bool TooltipShown() {
        std::istringstream ids(Output({"/usr/bin/xdotool", "search", "--onlyvisible", "--classname", "kivclient"}));
        for (std::string id; std::getline(ids, id);)
            if (Output({"/usr/bin/xprop", "-id", id, "_NET_WM_WINDOW_TYPE"}).find("_NET_WM_WINDOW_TYPE_TOOLTIP") !=
                std::string::npos)
                return true;
        return false;
    }
    bool WaitDocked(std::size_t count) {
        return test::WaitFor([&] { return Docked().size() == count; }, 15s);
    }

    std::vector<Json> TrayEvents(const std::string& event, const std::string& action = "") {
        std::vector<Json> events;
        for (const Json& e : harness.TranscriptEvents(event))
            if (action.empty() || e.value("action", "") == action) events.push_back(e);
        return events;
    }
    std::size_t MouseMessages() { return TrayEvents("tray-mouse").size(); }
    // The mouse messages from the n-th on, once there are `count` of them.
    std::vector<Json> MouseMessagesFrom(std::size_t first, std::size_t count) {
        test::WaitFor([&] { return MouseMessages() >= first + count; }, 5s);
        const std::vector<Json> all = TrayEvents("tray-mouse");
        return std::vector<Json>(all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end());
    }

    void Press(const TDockedIcon& icon, const std::vector<std::string>& actions) {
        std::vector<std::string> argv{"/usr/bin/xdotool", "mousemove", std::to_string(icon.x), std::to_string(icon.y)};
        argv.insert(argv.end(), actions.begin(), actions.end());
        harness.Run(argv)->Wait(5s);
    }

    // The screen's colour at a point, 0xRRGGBB.
    uint32_t PixelAt(int x, int y) {
        const std::string out = Output({"/usr/bin/import", "-window", "root", "-crop",
                                        "1x1+" + std::to_string(x) + "+" + std::to_string(y), "txt:-"});
        std::smatch m;
        if (!std::regex_search(out, m, std::regex("srgb\\(([0-9]+),([0-9]+),([0-9]+)\\)"))) return 0xFFFFFFFF;
        return (std::stoul(m[1]) << 16) | (std::stoul(m[2]) << 8) | std::stoul(m[3]);
    }
    static bool Near(uint32_t a, uint32_t b) {
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 12) return false;
        return true;
    }

    // Clicks the left button on every docked icon: which server icon each is,
    // checked against what the server received.
    std::map<int, TDockedIcon> IdentifyIcons(int32_t window) {
        std::map<int, TDockedIcon> byId;
        for (const TDockedIcon& icon : Docked()) {
            const std::size_t before = MouseMessages();
            Press(icon, {"mousedown", "1", "mouseup", "1"});
            const std::vector<Json> got = MouseMessagesFrom(before, 2);
            EXPECT_EQ(got.size(), 2u) << "the icon at " << icon.x << "," << icon.y << " is silent";
            if (got.size() != 2) continue;
            EXPECT_EQ(got[0]["message"], 0x201);
            EXPECT_EQ(got[1]["message"], 0x202);
            const int id = got[0]["id"];
            for (const Json& m : got) {
                EXPECT_EQ(m["window"], window);
                EXPECT_EQ(m["id"], id);
                EXPECT_EQ(m["callback"], kCallback.count(id) ? kCallback.at(id) : -1) << m;
                EXPECT_EQ(m["x"], icon.x) << "the cursor's x in the low 16 bits";
                EXPECT_EQ(m["y"], icon.y) << "the cursor's y in the high 16 bits";
            }
            byId[id] = icon;
        }
        return byId;
    }
    // Each icon shows its own image.
    void ExpectColours(const std::map<int, TDockedIcon>& byId) {
        harness.Run({"/usr/bin/xdotool", "mousemove", "5", "5"})->Wait(5s);  // no tooltip over the icons
        for (const auto& [id, icon] : byId)
            EXPECT_TRUE(Near(PixelAt(icon.x, icon.y), kIconColour.at(id)))
                << "icon " << id << " shows " << std::hex << PixelAt(icon.x, icon.y);
    }

    void Screenshot(const std::string& name) {
        const auto artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        std::filesystem::create_directories(artifacts);
        harness.Run({"/usr/bin/import", "-window", "root", (artifacts / name).string()})->Wait(10s);
    }

    test::ClientSessionHarness harness;
    std::unique_ptr<test::ChildProcess> client;
};

TEST_F(TrayEndToEnd, ServerIconsDockAndEveryButtonReachesTheServerAcrossTrayRestarts) {
    Start("2");
    // Five messages make three icons: id 2 folds into id 1 (a small id of the same window).
    ASSERT_TRUE(test::WaitFor([&] { return TrayEvents("tray").size() == 5; }, 20s)) << "the shell sent no tray icons";
    ASSERT_TRUE(WaitDocked(3)) << Docked().size() << " icons docked";
    Screenshot("tray-icons.png");
    const int32_t window = TrayEvents("tray")[0]["window"];
    std::map<int, TDockedIcon> byId = IdentifyIcons(window);
    ASSERT_EQ(byId.size(), 3u) << "each icon is a server icon of its own";
    ExpectColours(byId);

    // A right double click: down, up, down, up.
    std::size_t before = MouseMessages();
    Press(byId[6000], {"click", "--repeat", "2", "--delay", "60", "3"});
    std::vector<uint32_t> messages;
    for (const Json& m : MouseMessagesFrom(before, 4)) {
        EXPECT_EQ(m["id"], 6000);
        EXPECT_EQ(m["callback"], 0x8002);
        messages.push_back(m["message"]);
    }
    EXPECT_EQ(messages, (std::vector<uint32_t>{0x204, 0x205, 0x204, 0x205}));

    // The tooltip (the tip before its "|") once the pointer rests on the icon.
    harness.Run({"/usr/bin/xdotool", "mousemove", std::to_string(byId[1].x), std::to_string(byId[1].y + 1)})->Wait(5s);
    EXPECT_TRUE(test::WaitFor([&] { return TooltipShown(); }, 3s)) << "no tooltip window";
    Screenshot("tray-tooltip.png");

    // The tray is killed and comes back: the icons dock again.
    harness.StopPanel(SIGKILL);
    EXPECT_TRUE(test::WaitFor([&] { return Docked().empty(); }, 5s)) << "an icon outlived its tray";
    harness.StartPanel();
    ASSERT_TRUE(WaitDocked(3)) << "after a killed tray: " << Docked().size() << " icons";
    // It ends and comes back with transparency under a compositor: the icons
    // dock again with the 32-bit visual the tray offers now.
    harness.StopPanel(SIGTERM);
    EXPECT_TRUE(test::WaitFor([&] { return Docked().empty(); }, 5s)) << "an icon stayed on the desktop";
    auto compositor = harness.Run({"/usr/bin/xcompmgr"});
    std::ifstream defaults("/etc/xdg/tint2/tint2rc");
    std::string config((std::istreambuf_iterator<char>(defaults)), std::istreambuf_iterator<char>());
    config = std::regex_replace(config, std::regex("disable_transparency = 1"), "disable_transparency = 0");
    harness.StartPanel({"-c", harness.Dir().Write("tint2-transparent.rc", config).string()});
    ASSERT_TRUE(WaitDocked(3)) << "after an ended tray: " << Docked().size() << " icons";
    for (const TDockedIcon& icon : Docked()) EXPECT_EQ(icon.depth, 32);
    byId = IdentifyIcons(window);
    ASSERT_EQ(byId.size(), 3u);
    ExpectColours(byId);
    Screenshot("tray-transparent.png");

    // The middle button on id 5000: down and up reach the server, which deletes it.
    before = MouseMessages();
    Press(byId[5000], {"mousedown", "2", "mouseup", "2"});
    messages.clear();
    for (const Json& m : MouseMessagesFrom(before, 2)) {
        EXPECT_EQ(m["id"], 5000);
        EXPECT_EQ(m["callback"], 0x8001);
        messages.push_back(m["message"]);
    }
    EXPECT_EQ(messages, (std::vector<uint32_t>{0x207, 0x208}));
    ASSERT_TRUE(test::WaitFor([&] { return TrayEvents("tray", "delete").size() == 1; }, 5s));
    EXPECT_TRUE(WaitDocked(2)) << "the deleted icon is still in the tray";
    Screenshot("tray-after-delete.png");
    client->Terminate();
}

TEST_F(TrayEndToEnd, AWholeDesktopHasNoTrayIconsAndCarriesTheDesktopIcon) {
    Start("1");
    ASSERT_TRUE(test::WaitFor([&] { return TrayEvents("tray").size() == 5; }, 20s)) << "the shell sent no tray icons";
    // The session window's icon: the eleven sizes of the desktop icon.
    std::string icon;
    ASSERT_TRUE(test::WaitFor(
        [&] {
            const std::string ids = Output({"/usr/bin/xdotool", "search", "--classname", "kivclient"});
            std::istringstream in(ids);
            for (std::string id; std::getline(in, id);) {
                const std::string props = Output({"/usr/bin/xprop", "-id", id, "_NET_WM_ICON"});
                if (props.find("_NET_WM_ICON(CARDINAL)") != std::string::npos) icon = props;
            }
            return !icon.empty();
        },
        10s));
    std::set<std::string> sizes;
    const std::regex size("Icon \\(([0-9]+ x [0-9]+)\\)");
    for (auto it = std::sregex_iterator(icon.begin(), icon.end(), size); it != std::sregex_iterator(); ++it)
        sizes.insert((*it)[1]);
    EXPECT_EQ(sizes.size(), 11u);
    EXPECT_TRUE(sizes.count("16 x 16") && sizes.count("96 x 96"));
    std::this_thread::sleep_for(1s);  // time enough for icons to dock, had there been any
    EXPECT_TRUE(Docked().empty());
    client->Terminate();
}

}  // namespace
}  // namespace kiv
