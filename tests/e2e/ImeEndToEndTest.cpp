// Chinese typed through a real input method (fcitx5 with its pinyin engine, on
// a private D-Bus and X display) into a seamless session: what the server
// shell receives, where the composition window stands, and what a password
// field does to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/ClientSessionHarness.h"
#include "launch/CredentialCodec.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

// The scan codes of "zhongwen" and the space bar.
const std::vector<int> kTypedScanCodes{0x2C, 0x23, 0x18, 0x31, 0x22, 0x11, 0x12, 0x39};

class ImeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
        for (const char* program : {"/usr/bin/fcitx5", "/usr/bin/dbus-daemon", "/usr/bin/dbus-send"})
            if (!fs::exists(program)) GTEST_SKIP() << program << " is missing (scripts/setup.sh installs it)";
        env = harness.Env();
        env["LANG"] = "zh_CN.UTF-8";  // the connection file's texts are GBK
        StartInputMethod();
    }

    // A session bus of the test's own, and fcitx5 on it with pinyin switched on.
    void StartInputMethod() {
        const fs::path dir = harness.Dir().path();
        const std::string address = "unix:path=" + (dir / "bus").string();
        bus = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address,
                                     "--print-address"},
            env, (dir / "dbus.log").string());
        ASSERT_TRUE(bus->ReadLine(10s).has_value()) << "the session bus did not start";
        env["DBUS_SESSION_BUS_ADDRESS"] = address;
        harness.Dir().Write("config/fcitx5/profile",
                            "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=pinyin\n\n"
                            "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                            "[Groups/0/Items/1]\nName=pinyin\nLayout=\n\n[GroupOrder]\n0=Default\n");
        harness.Dir().Write("config/fcitx5/config", "[Behavior]\nActiveByDefault=True\nShareInputState=No\n");
        harness.Dir().Write("config/fcitx5/conf/pinyin.conf", "CloudPinyinEnabled=False\n");
        inputMethod = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/fcitx5",
                                     "--disable=wayland,waylandim,kimpanel,notificationitem,notifications,clipboard,"
                                     "xim,fcitx4frontend,ibusfrontend,spell"},
            env, (dir / "fcitx5.log").string());
        ASSERT_TRUE(test::WaitFor(
            [&] {
                return Output({"/usr/bin/dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                               "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                               "string:org.fcitx.Fcitx5"})
                           .find("boolean true") != std::string::npos;
            },
            15s))
            << "fcitx5 did not come up";
    }

    // The client from a folder of its own, so that its "KivClient.ini" is this test's.
    void Start(const std::vector<std::string>& serverOptions, const std::string& localIni) {
        port = harness.StartServer(serverOptions);
        ASSERT_NE(port, 0);
        const fs::path dir = harness.Dir().path();
        const fs::path built = fs::path(KIVCLIENT_PATH).parent_path();
        const fs::path program = dir / "program";
        fs::create_directories(program);
        fs::copy_file(KIVCLIENT_PATH, program / "kivclient");
        fs::copy_file(built / "Resource.ini", program / "Resource.ini");
        // The code pages' Chinese maps; without it the text passes unmapped.
        if (withChineseMaps) fs::copy_file(built / "libkiv-opencc.so", program / "libkiv-opencc.so");
        fs::copy(built / "Language", program / "Language", fs::copy_options::recursive);
        fs::copy(built / "Images", program / "Images", fs::copy_options::recursive);
        harness.Dir().Write("program/KivClient.ini", localIni);
        // 内部资料 %s for the user 张三, as a Chinese portal writes them: GBK.
        const auto file = harness.Dir().Write(
            "seamless.kiv",
            "[watermark]\r\nenable=1\r\nwatermarkstring=\xC4\xDA\xB2\xBF\xD7\xCA\xC1\xCF%s\r\n"
            "[Farm]\r\nUserName=" + TextToHex("\xD5\xC5\xC8\xFD") + "\r\nSessionID=SID00000042\r\n"
            "[Session]\r\nScreen_FULL=3\r\nColor=4\r\nShareSession=0\r\n"
            "[Application]\r\nApp_id=APP0001\r\nApp_name=Notepad\r\nApp_type_mode=2\r\n"
            "[Server]\r\nServer_Address=127.0.0.1:" + std::to_string(port) + "\r\nLogin_User=" +
                EncodeCredential("ann") + "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
        auto clientEnv = env;
        clientEnv["QT_IM_MODULE"] = "fcitx";
        client = std::make_unique<test::ChildProcess>(std::vector<std::string>{(program / "kivclient").string(), file.string()},
                                                      clientEnv, (dir / "client.log").string());
        ASSERT_TRUE(test::WaitFor([&] { return !harness.TranscriptEvents("caret").empty(); }, 30s))
            << "the application's window and its caret did not come";
        // A click into the application's window: the session window takes the focus.
        const Json window = harness.TranscriptEvents("window").at(0);
        Xdotool({"mousemove", std::to_string(window["left"].get<int>() + 200),
                 std::to_string(window["bottom"].get<int>() - 40), "click", "1"});
        std::this_thread::sleep_for(500ms);  // the activation travels through the window manager
    }

    std::string Output(const std::vector<std::string>& argv) {
        test::ChildProcess run(argv, env);
        std::string out;
        while (auto line = run.ReadLine(5s)) out += *line + "\n";
        run.Wait(5s);
        return out;
    }
    void Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        Output(args);
    }

    struct TCaret {
        int left = 0, bottom = 0;
    };
    TCaret LastCaret() {
        const Json caret = harness.TranscriptEvents("caret").back();
        return TCaret{caret["left"].get<int>(), caret["bottom"].get<int>()};
    }
    // Where the input method's candidate window is, once it is shown.
    std::optional<std::pair<int, int>> CompositionWindow() {
        const std::string info = Output({"/usr/bin/xwininfo", "-name", "Fcitx5 Input Window"});
        std::smatch x, y;
        if (info.find("IsViewable") == std::string::npos ||
            !std::regex_search(info, x, std::regex("Absolute upper-left X: +(-?[0-9]+)")) ||
            !std::regex_search(info, y, std::regex("Absolute upper-left Y: +(-?[0-9]+)")))
            return std::nullopt;
        return std::pair{std::stoi(x[1]), std::stoi(y[1])};
    }
    // Waits until the candidate window stands at the server's latest caret: its
    // left edge, below it.
    ::testing::AssertionResult CompositionAtTheCaret() {
        std::optional<std::pair<int, int>> at;
        const TCaret caret = LastCaret();
        const bool there = test::WaitFor(
            [&] {
                at = CompositionWindow();
                return at && std::abs(at->first - caret.left) <= 2 && std::abs(at->second - caret.bottom) <= 2;
            },
            5s);
        if (there) return ::testing::AssertionSuccess();
        if (!at) return ::testing::AssertionFailure() << "no composition window is shown";
        return ::testing::AssertionFailure() << "composition window at " << at->first << "," << at->second
                                             << ", the caret's left and bottom at " << caret.left << "," << caret.bottom;
    }
    std::vector<std::string> ImeTexts() {
        std::vector<std::string> hex;
        for (const Json& e : harness.TranscriptEvents("ime-text")) hex.push_back(e.value("hex", ""));
        return hex;
    }
    // Key events of the typed keys that reached the server, presses or releases.
    int TypedKeyEvents(bool down) {
        int n = 0;
        for (const Json& e : harness.TranscriptEvents("key"))
            if (e["down"].get<bool>() == down &&
                std::count(kTypedScanCodes.begin(), kTypedScanCodes.end(), e["code"].get<int>()) != 0)
                ++n;
        return n;
    }
    void Screenshot(const std::string& name) {
        const auto artifacts = fs::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
        fs::create_directories(artifacts);
        Output({"/usr/bin/import", "-window", "root", (artifacts / name).string()});
    }

    test::ClientSessionHarness harness;
    std::map<std::string, std::string> env;
    std::unique_ptr<test::ChildProcess> bus, inputMethod, client;
    int port = 0;
    bool withChineseMaps = true;
};

struct TConversionRun {
    const char* localIni;
    const char* firstText;   // 中文 as the server receives it
    const char* secondText;  // 测试
    bool withChineseMaps = true;
};

class ImeConversionEndToEnd : public ImeEndToEnd, public ::testing::WithParamInterface<TConversionRun> {};

TEST_P(ImeConversionEndToEnd, ComposedTextReachesTheServerAtItsCaret) {
    withChineseMaps = GetParam().withChineseMaps;
    Start({"--caret"}, GetParam().localIni);
    Xdotool({"type", "--delay", "40", "zhongwen"});
    EXPECT_TRUE(CompositionAtTheCaret());
    Screenshot("ime-composing.png");
    Xdotool({"key", "space"});
    ASSERT_TRUE(test::WaitFor([&] { return ImeTexts().size() == 1; }, 10s)) << "no SHELL_IME_TEXT";
    EXPECT_EQ(ImeTexts()[0], GetParam().firstText);

    // The server's caret moved on behind the text: the next composition goes there.
    ASSERT_TRUE(test::WaitFor([&] { return harness.TranscriptEvents("caret").size() == 2; }, 5s));
    Xdotool({"type", "--delay", "40", "ceshi"});
    EXPECT_TRUE(CompositionAtTheCaret());
    Xdotool({"key", "space"});
    ASSERT_TRUE(test::WaitFor([&] { return ImeTexts().size() == 2; }, 10s));
    EXPECT_EQ(ImeTexts()[1], GetParam().secondText);
    // What the input method took never reached the session as keys.
    EXPECT_EQ(TypedKeyEvents(true), 0);
    EXPECT_EQ(TypedKeyEvents(false), 0);
    Screenshot("ime-watermark.png");
    client->Terminate();
}

INSTANTIATE_TEST_SUITE_P(
    CodeConversion, ImeConversionEndToEnd,
    ::testing::Values(TConversionRun{"", "D6D0CEC4", "B2E2CAD4"},
                      TConversionRun{"[Local Property]\nCodeConversion=1\n", "A4A4A4E5", "B4FAB8D5"},
                      // The maps' module missing: the session goes on, simplified characters BIG5 lacks become '?'.
                      TConversionRun{"[Local Property]\nCodeConversion=1\n", "A4A4A4E5", "3F3F", false}));

TEST_F(ImeEndToEnd, APasswordFieldGetsPlainKeysOnly) {
    Start({"--caret-flags", "0x20", "--ask-address"}, "");
    // (The server's question for its address is answered on the way.)
    ASSERT_TRUE(test::WaitFor([&] { return !harness.TranscriptEvents("custom").empty(); }, 5s));
    EXPECT_EQ(harness.TranscriptEvents("custom")[0]["type"], 1);
    EXPECT_EQ(harness.TranscriptEvents("custom")[0]["text"], "127.0.0.1");
    Xdotool({"type", "--delay", "40", "zhongwen"});
    Xdotool({"key", "space"});
    // Nine keys, "n" twice: each pressed and let go at the server.
    ASSERT_TRUE(test::WaitFor([&] { return TypedKeyEvents(false) == 9; }, 10s)) << "the keys did not reach the session";
    EXPECT_EQ(TypedKeyEvents(true), 9);
    EXPECT_TRUE(ImeTexts().empty());
    EXPECT_FALSE(CompositionWindow().has_value());
    client->Terminate();
}

}  // namespace
}  // namespace kiv
