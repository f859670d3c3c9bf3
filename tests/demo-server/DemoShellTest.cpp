// The built-in server shell's decisions, driven by a test's clock, with its
// output recorded instead of sent.
#include <gtest/gtest.h>

#include <algorithm>

#include "channels/ByteOrder.h"
#include "channels/SmlIcon.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegionBlock.h"
#include "channels/SmlWindowMsg.h"
#include "desktop/MsgTray.h"
#include "session/SessionEvents.h"
#include "support/TrayFakes.h"
#include "tools/demo-server/DemoShell.h"
#include "tools/demo-server/ShellWire.h"

namespace kiv::demo {
namespace {

struct TRecordedOutput final : IShellOutput {
    struct TSent {
        std::string channel;
        TBytes bytes;
    };
    std::vector<TSent> sent;
    std::vector<std::uint32_t> errorInfo;
    int closes = 0;
    int drops = 0;
    int cookies = 0;
    std::vector<TWindowRect> repaints;
    std::vector<TJson> records;

    void Send(const std::string& channel, const TBytes& bytes) override { sent.push_back({channel, bytes}); }
    void SetErrorInfo(std::uint32_t code) override { errorInfo.push_back(code); }
    void Close() override { ++closes; }
    void Drop() override { ++drops; }
    void SendReconnectCookie() override { ++cookies; }
    void Repaint(const TWindowRect& area) override { repaints.push_back(area); }
    void Record(TJson line) override { records.push_back(std::move(line)); }

    // The shell events sent so far, as (type, Param1).
    std::vector<std::pair<std::uint16_t, std::int32_t>> Events() const {
        std::vector<std::pair<std::uint16_t, std::int32_t>> events;
        for (const TSent& s : sent)
            if (s.bytes.size() >= 9 && s.bytes[0] == 0x5A) events.emplace_back(ReadU16(s.bytes.data() + 3), ReadI32(s.bytes.data() + 5));
        return events;
    }
    std::vector<TSmlParts> Windows() const {
        std::vector<TSmlParts> windows;
        for (const TSent& s : sent)
            if (s.bytes.size() >= 38 && s.bytes[0] == 0x3F)
                windows.push_back(*SplitSmlWindowMsg(s.bytes.data(), static_cast<std::int32_t>(s.bytes.size())));
        return windows;
    }
};

using TEvent = std::pair<std::uint16_t, std::int32_t>;

TBytes ClientShell(std::uint16_t type, const std::string& name = "", std::int32_t value = 0, const std::string& text = "") {
    TBytes m(std::max<std::size_t>(25, 22 + text.size()), 0);
    m[0] = 0x5A, m[1] = 0x2E, m[2] = 0x07;
    WriteU16(m.data() + 3, type);
    std::copy(name.begin(), name.begin() + std::min<std::size_t>(name.size(), 11), m.begin() + 5);
    WriteI32(m.data() + 17, value);
    std::copy(text.begin(), text.end(), m.begin() + 21);
    return m;
}

TBytes ClientCommand(std::int64_t handle, std::uint16_t command, std::uint32_t data) {
    TBytes m(22, 0);  // 21 bytes in an 11-unit payload
    m[0] = 0x3F, m[1] = 0xEE, m[2] = 0x03;
    for (int i = 0; i < 8; ++i) m[3 + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(handle) >> (8 * i));
    WriteU16(m.data() + 11, command);
    WriteU32(m.data() + 13, data);
    return m;
}

class DemoShell : public ::testing::Test {
protected:
    TDemoShell& Shell(int connection = 1) {
        shells.push_back(std::make_unique<TDemoShell>(options, sessions, desktop, out, connection));
        return *shells.back();
    }
    // Runs the shell's timers up to `untilMs`, as the session loop would.
    void Advance(TDemoShell& shell, std::int64_t untilMs) {
        while (const auto due = shell.NextDueMs()) {
            if (*due > untilMs) break;
            now = std::max(now, *due);
            shell.OnTimer(now);
        }
        now = std::max(now, untilMs);
    }
    // Connected, greeted, drives and mouse reported: the shell runs.
    TDemoShell& Started() {
        TDemoShell& shell = Shell();
        shell.OnConnect(now, 1024, 768, std::nullopt);
        Advance(shell, now + 200);
        shell.OnReceive("CSML", ClientShell(0x0040, "APP0001", 5, "a\\|b"), now);
        shell.OnReceive("CSML", ClientShell(0x0041), now);
        return shell;
    }

    TShellOptions options;
    TShellSessions sessions;
    TServerDesktop desktop{TDesktopPattern()};
    TRecordedOutput out;
    std::vector<std::unique_ptr<TDemoShell>> shells;
    std::int64_t now = 0;
};

TEST_F(DemoShell, WalksTheRoadAndStartsTheShellOnlyAfterDrivesAndMouse) {
    TDemoShell& shell = Shell();
    shell.OnConnect(0, 1024, 768, std::nullopt);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_AUTH_RESULT, 0}}));
    Advance(shell, 49);
    EXPECT_EQ(out.Events().size(), 1u);
    Advance(shell, 1000);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_AUTH_RESULT, 0},
                                                 {MSG_WINLOGON_LOGON_OK, 7},
                                                 {MSG_WINLOGON_SHELL_LOADING, 7}}));
    for (const auto& sent : out.sent) {
        EXPECT_EQ(sent.channel, "CSML");
        EXPECT_EQ(sent.bytes.size(), kServerShellMessageSize);
    }
    // An application start before the shell runs is not answered.
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    shell.OnReceive("CSML", ClientShell(0x0041), now);
    EXPECT_EQ(out.Events().size(), 3u);
    shell.OnReceive("CSMP", ClientShell(0x0040, "APP0001", 4, "x\\|y"), now);
    EXPECT_EQ(out.Events().back(), (TEvent{MSG_WINLOGON_SHELL_STARTED, 0}));
    EXPECT_EQ(shell.State(), TDemoShell::TState::Running);
}

TEST_F(DemoShell, AnswersAnApplicationStartWithAPublishedWindow) {
    TDemoShell& shell = Started();
    out.sent.clear();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001", 0, "/doc"), now);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_APP_LOADED, 0}, {MSG_WINLOGON_APP_READY, 0}}));
    const auto windows = out.Windows();
    ASSERT_EQ(windows.size(), 1u);
    const TSmlWindowMsg& h = windows[0].header;
    EXPECT_EQ(h.Flags, SML_ICON | SML_CREATE_MOVE);
    EXPECT_EQ(h.InTaskbar, 1);
    EXPECT_EQ(static_cast<std::uint32_t>(h.Style), 0x16CF0000u);
    EXPECT_EQ(Utf16ToUtf8(ReadSmlTitle(windows[0].title)), "APP0001 - demo");
    const auto icon = LoadIconFile(windows[0].icon, nullptr);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->pixels[0] >> 24, 0u) << "the corner is transparent";
    EXPECT_EQ(icon->pixels[16 * 32 + 2] >> 24, 0xFFu);
    // The first application's window has rounded corners: the corner pixel is cut away.
    const auto rects = RegionBlockRects(windows[0].region);
    ASSERT_GT(rects.size(), 3u);
    const int width = h.Right - h.Left;
    const int height = h.Bottom - h.Top;
    auto covers = [&](int x, int y) {
        return std::any_of(rects.begin(), rects.end(),
                           [&](const TSmlRect& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; });
    };
    EXPECT_FALSE(covers(0, 0));
    EXPECT_FALSE(covers(width - 1, height - 1));
    EXPECT_TRUE(covers(width / 2, 0));
    EXPECT_TRUE(covers(0, height / 2));
    EXPECT_TRUE(covers(width - 1, height / 2));
    EXPECT_FALSE(covers(width, height / 2));
    // Painted where it was published.
    ASSERT_FALSE(out.repaints.empty());
    EXPECT_EQ(out.repaints.back(), (TWindowRect{h.Left, h.Top, h.Right, h.Bottom}));
    EXPECT_EQ(desktop.ColorAt(h.Left + 50, h.Bottom - 30), kWindowBodyColour);
    EXPECT_EQ(desktop.ColorAt(h.Left, h.Top), TDesktopPattern().ColorAt(h.Left, h.Top)) << "a cut corner";

    // A second application: another place, a plain rectangle, its own handle.
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0002"), now);
    const auto both = out.Windows();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_NE(both[1].header.ServerHandle, h.ServerHandle);
    EXPECT_NE(both[1].header.Left, h.Left);
    EXPECT_EQ(both[1].header.RegionSize, 0u);
    EXPECT_LE(both[1].header.Right, 1024);
    EXPECT_LE(both[1].header.Bottom, 768);
}

TEST_F(DemoShell, WindowsFollowTheClientsCommands) {
    options.windowsPerApp = 2;
    TDemoShell& shell = Started();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    const auto created = out.Windows();
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(Utf16ToUtf8(ReadSmlTitle(created[1].title)), "APP0001 - demo 2");
    const std::int64_t first = created[0].header.ServerHandle;
    const TSmlWindowMsg place = created[0].header;
    out.sent.clear();

    // Activation raises the first window over the second.
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, 2), now);
    ASSERT_EQ(out.Windows().size(), 1u);
    EXPECT_EQ(out.Windows()[0].header.Flags, SML_ACTIVATE);
    EXPECT_EQ(desktop.Windows().back().handle, first);
    // Activating the window on top again says nothing.
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, 1), now);
    EXPECT_EQ(out.Windows().size(), 1u);

    // Minimized from the taskbar: parked off the screen, and only once.
    out.sent.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, kSmlDataMinimized), now);
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, kSmlDataMinimized), now);
    ASSERT_EQ(out.Windows().size(), 1u);
    const TSmlWindowMsg parked = out.Windows()[0].header;
    EXPECT_EQ(parked.Flags, SML_MINIMIZE);
    EXPECT_TRUE(parked.Left < 0 && parked.Top < 0 && parked.Right < 0 && parked.Bottom < 0);
    EXPECT_EQ(desktop.ColorAt(place.Left + 50, place.Bottom - 30), TDesktopPattern().ColorAt(place.Left + 50, place.Bottom - 30))
        << "unpainted";

    // Restored: back where it was.
    out.sent.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, kSmlDataRestored), now);
    ASSERT_EQ(out.Windows().size(), 1u);
    EXPECT_EQ(out.Windows()[0].header.Flags, SML_ACTIVATE | SML_CREATE_MOVE);
    EXPECT_EQ(out.Windows()[0].header.Left, place.Left);
    EXPECT_EQ(out.Windows()[0].header.Bottom, place.Bottom);

    // The window menu at the cursor (x low, y high), a menu style without a taskbar button.
    out.sent.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_SYSMENU, (200u << 16) | 300u), now);
    ASSERT_EQ(out.Windows().size(), 1u);
    const TSmlWindowMsg menu = out.Windows()[0].header;
    EXPECT_EQ(static_cast<std::uint32_t>(menu.Style), MenuWindowStyle);
    EXPECT_EQ(menu.InTaskbar, 0);
    EXPECT_EQ(menu.Left, 300);
    EXPECT_EQ(menu.Top, 200);
    EXPECT_EQ(desktop.ColorAt(302, 202), 0xFFFFFFu);
    // It goes by itself after a while.
    Advance(shell, now + kMenuLifetimeMs);
    ASSERT_EQ(out.Windows().size(), 2u);
    EXPECT_EQ(out.Windows()[1].header.Flags, SML_DESTROY);
    EXPECT_EQ(out.Windows()[1].header.ServerHandle, menu.ServerHandle);

    // A menu near the bottom edge opens above the cursor.
    out.sent.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_SYSMENU, (760u << 16) | 10u), now);
    EXPECT_EQ(out.Windows()[0].header.Bottom, 760);

    // Closed: destroyed, unpainted, and its menu goes with the next command.
    out.sent.clear();
    out.repaints.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_CLOSE, 0), now);
    ASSERT_EQ(out.Windows().size(), 2u);
    EXPECT_EQ(out.Windows()[1].header.Flags, SML_DESTROY);
    EXPECT_EQ(out.Windows()[1].header.ServerHandle, first);
    EXPECT_EQ(out.repaints.back(), (TWindowRect{place.Left, place.Top, place.Right, place.Bottom}));
    EXPECT_EQ(desktop.Find(first), nullptr);
    // Commands for windows that are gone change nothing.
    out.sent.clear();
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_CLOSE, 0), now);
    shell.OnReceive("CSML", ClientCommand(first, SML_CMD_ACTIVATE, 1), now);
    EXPECT_TRUE(out.sent.empty());
}

class DemoShellStage : public DemoShell, public ::testing::WithParamInterface<TShellStage> {};

TEST_P(DemoShellStage, StallsOrFailsRightAfterTheStage) {
    const std::vector<TEvent> road{{MSG_WINLOGON_AUTH_RESULT, 0},
                                   {MSG_WINLOGON_LOGON_OK, 7},
                                   {MSG_WINLOGON_SHELL_LOADING, 7},
                                   {MSG_WINLOGON_SHELL_STARTED, 0}};
    const auto done = static_cast<std::size_t>(GetParam());  // stages completed before it
    for (bool fail : {false, true}) {
        out = TRecordedOutput();
        options = TShellOptions();
        (fail ? options.logonErrorAt : options.stallAt) = GetParam();
        TDemoShell& shell = Started();
        shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
        Advance(shell, now + 60000);
        std::vector<TEvent> expected(road.begin(), road.begin() + static_cast<std::ptrdiff_t>(done));
        if (fail) expected.emplace_back(MSG_WINLOGON_LOGON_ERROR, ShellStageEvent(GetParam()));
        EXPECT_EQ(out.Events(), expected) << ShellStageName(GetParam()) << (fail ? " error" : " stall");
        EXPECT_TRUE(out.Windows().empty());
        EXPECT_EQ(out.closes + out.drops, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStage, DemoShellStage,
                         ::testing::Values(TShellStage::Connected, TShellStage::Auth, TShellStage::Logon,
                                           TShellStage::ShellLoading, TShellStage::ShellStarted));

TEST_F(DemoShell, ARefusedOrDoubledAccountEndsTheRoadAtOnce) {
    options.authResult = 309;
    Started();
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_AUTH_RESULT, 309}}));
    out = TRecordedOutput();
    options = TShellOptions();
    options.multiAccount = true;
    Started();
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_MULTEACCOUNT, 0}}));
}

TEST_F(DemoShell, ApplicationStartsCanFail) {
    options.appRunError = 2;
    TDemoShell& shell = Started();
    out.sent.clear();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_APP_RUN_ERROR, 2}}));
    EXPECT_TRUE(out.Windows().empty());

    out = TRecordedOutput();
    options = TShellOptions();
    options.sessionError = 307;
    TDemoShell& second = Started();
    out.sent.clear();
    second.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    second.OnReceive("CSML", ClientShell(0x0004, "APP0002"), now);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_SESSION_ERROR, 307},
                                                 {MSG_WINLOGON_APP_LOADED, 0},
                                                 {MSG_WINLOGON_APP_READY, 0}}));
}

TEST_F(DemoShell, ExitIsALogoffAndTheServerClosesAMomentLater) {
    TDemoShell& shell = Started();
    const std::int64_t exitAt = now;
    shell.OnReceive("CSML", ClientShell(0x0008), now);
    EXPECT_EQ(out.Events().back(), (TEvent{MSG_WINLOGON_SESSION_LOGOFF, 0}));
    Advance(shell, exitAt + kLogoffCloseMs - 1);
    EXPECT_EQ(out.closes, 0);
    Advance(shell, exitAt + kLogoffCloseMs);
    EXPECT_EQ(out.closes, 1);
    EXPECT_EQ(shell.State(), TDemoShell::TState::Ended);
    EXPECT_FALSE(shell.NextDueMs().has_value());
}

TEST_F(DemoShell, TimedEndsComeWhenTheyAreDue) {
    options.logoffAfterMs = 1000;
    TDemoShell& logoff = Started();
    const std::int64_t started = now;
    Advance(logoff, started + 999);
    EXPECT_NE(out.Events().back().first, MSG_WINLOGON_SESSION_LOGOFF);
    Advance(logoff, started + 1000);
    EXPECT_EQ(out.Events().back(), (TEvent{MSG_WINLOGON_SESSION_LOGOFF, 0}));

    out = TRecordedOutput();
    options = TShellOptions();
    options.errorInfo = 3;
    TDemoShell& errorInfo = Started();
    Advance(errorInfo, now + kErrorInfoCloseMs);
    EXPECT_EQ(out.errorInfo, std::vector<std::uint32_t>{3});
    EXPECT_EQ(out.closes, 1);

    out = TRecordedOutput();
    options = TShellOptions();
    options.dropAfterMs = 120;
    now = 0;
    TDemoShell& drop = Shell();
    drop.OnConnect(0, 800, 600, std::nullopt);
    Advance(drop, 119);
    EXPECT_EQ(out.drops, 0);
    Advance(drop, 120);
    EXPECT_EQ(out.drops, 1);
}

TEST_F(DemoShell, AReconnectionFindsTheSessionAndItsWindows) {
    options.reconnectAfterMs = 400;
    options.reconnectPolicySeconds = 30;
    TDemoShell& first = Started();
    EXPECT_EQ(out.cookies, 1) << "one cookie for both options";
    const TBytes policy = out.sent.back().bytes;
    ASSERT_EQ(policy.size(), kServerShellMessageSize);
    EXPECT_EQ(ReadU16(policy.data() + 3), 0x0015);
    EXPECT_EQ(ReadI16(policy.data() + 5), 1);
    EXPECT_EQ(ReadI16(policy.data() + 7), 30);
    first.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    const std::int64_t handle = out.Windows()[0].header.ServerHandle;
    Advance(first, now + 400);
    EXPECT_EQ(out.drops, 1);

    // The client comes back with the cookie of connection 1.
    out = TRecordedOutput();
    TServerDesktop fresh{TDesktopPattern()};
    TDemoShell second(options, sessions, fresh, out, 2);
    second.OnConnect(now, 1024, 768, 1u);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_SESSION_RECONNECT, 7}}));
    ASSERT_EQ(out.Windows().size(), 1u);
    EXPECT_EQ(out.Windows()[0].header.ServerHandle, handle);
    EXPECT_EQ(Utf16ToUtf8(ReadSmlTitle(out.Windows()[0].title)), "APP0001 - demo");
    ASSERT_NE(fresh.Find(handle), nullptr);
    // No second drop in the server's life, and new windows get new handles.
    second.OnReceive("CSML", ClientShell(0x0004, "APP0002"), now);
    EXPECT_GT(out.Windows().back().header.ServerHandle, handle);
    TDemoShell idle(options, sessions, fresh, out, 2);
    EXPECT_FALSE(sessions.ClaimReconnectDrop());

    // A cookie nobody parked a session for is a new logon.
    out = TRecordedOutput();
    TDemoShell third(options, sessions, fresh, out, 3);
    third.OnConnect(now, 1024, 768, 9u);
    EXPECT_EQ(out.Events(), (std::vector<TEvent>{{MSG_WINLOGON_AUTH_RESULT, 0}}));
}

TEST_F(DemoShell, TypedTextShowsInTheActiveWindowAndWindowsMoveWhenAsked) {
    options.moveEveryMs = 100;
    options.menuAtStart = true;
    TDemoShell& shell = Started();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    ASSERT_EQ(out.Windows().size(), 2u) << "the window and its menu";
    EXPECT_EQ(static_cast<std::uint32_t>(out.Windows()[1].header.Style), MenuWindowStyle);
    // The window's own activation keeps its menu open and below it.
    const auto menuRect = out.Windows()[1].header;
    shell.OnReceive("CSML", ClientCommand(out.Windows()[0].header.ServerHandle, SML_CMD_ACTIVATE, 1), now);
    EXPECT_EQ(desktop.Windows().back().kind, TWindowKind::Menu);
    EXPECT_EQ(desktop.ColorAt(menuRect.Left + 2, menuRect.Bottom - 3), 0xFFFFFFu);
    shell.OnReceive("CSML", ClientShell(0x1002, "", 5, "hello"), now);
    const TServerWindow* window = desktop.Find(out.Windows()[0].header.ServerHandle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->lines.back(), "TYPED hello");
    const int left = window->rect.left;
    out.sent.clear();
    Advance(shell, now + 350);
    const auto moves = out.Windows();
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].header.Flags, SML_CREATE_MOVE);
    EXPECT_EQ(moves[2].header.Left, left + 48);
    EXPECT_GT(moves[2].header.RegionSize, 0u) << "the region travels with every move";
}

TEST_F(DemoShell, AMovesUpdateCanFollowItsRepaintLater) {
    options.moveEveryMs = 1000;
    options.moveUpdateAfterMs = 300;
    TDemoShell& shell = Started();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    const std::int64_t start = now;
    out.sent.clear();
    out.repaints.clear();
    Advance(shell, start + 1100);
    EXPECT_FALSE(out.repaints.empty()) << "the window is painted at its new place";
    EXPECT_TRUE(out.Windows().empty()) << "before its update goes out";
    Advance(shell, start + 1400);
    ASSERT_EQ(out.Windows().size(), 1u);
    EXPECT_EQ(out.Windows()[0].header.Left, desktop.Windows().front().rect.left);
}

TEST_F(DemoShell, TheCaretFollowsTheTypedTextAndImeTextIsRecorded) {
    options.caret = true;
    options.caretFlags = 0x20;
    TDemoShell& shell = Started();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    const auto carets = [&] {
        std::vector<std::pair<TWindowRect, std::uint32_t>> found;
        for (const auto& s : out.sent)
            if (s.bytes.size() == 18 && ReadU16(s.bytes.data() + 3) == 0x1003)
                found.push_back({TWindowRect{ReadI16(s.bytes.data() + 5), ReadI16(s.bytes.data() + 7),
                                             ReadI16(s.bytes.data() + 9), ReadI16(s.bytes.data() + 11)},
                                 ReadU32(s.bytes.data() + 13)});
        return found;
    };
    ASSERT_EQ(carets().size(), 1u);
    const TWindowRect window = desktop.Windows().back().rect;
    const TWindowRect first = carets()[0].first;
    EXPECT_TRUE(window.Contains(first.left, first.top) && window.Contains(first.right - 1, first.bottom - 1));
    EXPECT_EQ(carets()[0].second, 0x20u);

    // Four GBK bytes of text: the caret moves on by four cells; the text is recorded as it came.
    shell.OnReceive("CSML", ClientShell(0x1002, "", 4, "\xD6\xD0\xCE\xC4"), now);
    ASSERT_EQ(carets().size(), 2u);
    EXPECT_EQ(carets()[1].first.left, first.left + 4 * 12);
    EXPECT_EQ(carets()[1].first.top, first.top);
    const auto typed = std::find_if(out.records.begin(), out.records.end(),
                                    [](const TJson& j) { return j.value("event", "") == "ime-text"; });
    ASSERT_NE(typed, out.records.end());
    EXPECT_EQ((*typed)["hex"], "D6D0CEC4");
    EXPECT_EQ((*typed)["value"], 4);
    // An activation that moves nothing sends no caret again.
    shell.OnReceive("CSML", ClientCommand(desktop.Windows().back().handle, SML_CMD_ACTIVATE, 1), now);
    EXPECT_EQ(carets().size(), 2u);
}

TEST_F(DemoShell, CustomRequestsGoOutOnceTheShellStartedAndAnswersAreRecorded) {
    options.askAddress = true;
    options.startVideo = "192.168.1.9:8899|a|b|c|d";
    TDemoShell& shell = Started();
    std::vector<std::pair<std::int32_t, std::string>> custom;
    for (const auto& s : out.sent)
        if (s.bytes.size() == 1031 && s.bytes[0] == 0x03 && s.bytes[2] == 0x05)
            custom.emplace_back(ReadI32(s.bytes.data() + 3), std::string(reinterpret_cast<const char*>(s.bytes.data() + 7)));
    EXPECT_EQ(custom, (std::vector<std::pair<std::int32_t, std::string>>{{1, ""}, {2, "192.168.1.9:8899|a|b|c|d"}}));
    shell.OnReceive("CSML", CustomMessage(1, "127.0.0.1"), now);
    ASSERT_FALSE(out.records.empty());
    EXPECT_EQ(out.records.back()["event"], "custom");
    EXPECT_EQ(out.records.back()["type"], 1);
    EXPECT_EQ(out.records.back()["text"], "127.0.0.1");
}

TEST_F(DemoShell, StressWindowsAllMoveAtTheRateForTheirSteps) {
    options.stressWindows = 5;
    options.stressRateHz = 10;
    options.stressSteps = 12;
    TDemoShell& shell = Started();
    const auto created = out.Windows();
    ASSERT_EQ(created.size(), 5u);
    for (const auto& w : created) {
        EXPECT_EQ(w.header.InTaskbar, 0);
        EXPECT_LE(w.header.Right, 1024);
        // Shapes only: the desktop under them stays as it was.
        const int x = w.header.Left + 10, y = w.header.Top + 10;
        EXPECT_EQ(desktop.ColorAt(x, y), TDesktopPattern().ColorAt(x, y));
    }
    EXPECT_TRUE(out.repaints.empty());
    out.sent.clear();
    Advance(shell, now + 1000);
    EXPECT_EQ(out.Windows().size(), 50u);
    for (const auto& w : out.Windows()) {
        EXPECT_GE(w.header.Left, 0);
        EXPECT_LE(w.header.Bottom, 768);
    }
    // The twelfth step is the last.
    Advance(shell, now + 3000);
    EXPECT_EQ(out.Windows().size(), 60u);
    EXPECT_EQ(out.records.back()["event"], "stress-done");
    EXPECT_EQ(out.records.back()["steps"], 12);
}

TEST_F(DemoShell, ForeignAndBrokenMessagesChangeNothing) {
    TDemoShell& shell = Started();
    out.sent.clear();
    for (const TBytes& junk : {TBytes{}, TBytes{0x5A, 0x2E, 0x07}, TBytes{0x3F, 0xEE, 0x03, 0x01}, TBytes(40, 0xFF),
                               ClientShell(0x0004, "APP0001")}) {
        shell.OnReceive("CSMT", junk, now);  // the folder channel is not the shell's
        // Shorter than any shell message the client sends.
        shell.OnReceive("CSML", TBytes(junk.begin(), junk.begin() + std::min<std::size_t>(junk.size(), 16)), now);
    }
    EXPECT_TRUE(out.sent.empty());
}

// Reads every bitmap image of an icon file, as the client's tray does.
struct TIconFileImages final : ITrayIconDecoder {
    std::vector<TIconImage> DecodeIconFile(std::span<const std::uint8_t> bytes) const override {
        std::vector<TIconImage> images;
        for (const TIconEntry& entry : ReadIconDirectory(bytes))
            if (std::uint64_t{entry.offset} + entry.size <= bytes.size())
                if (auto image = DecodeIconBitmap(bytes.subspan(entry.offset, entry.size))) images.push_back(*image);
        return images;
    }
};

struct TTrayHost final : IChannelHost {
    void OnChannelSendData(const std::string&, const kiv::TBytes&) override {}
    void OnSessionStateChanged(std::uint16_t, std::int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
};

TBytes TrayMouse(std::int32_t window, std::int32_t id, std::uint32_t callback, std::uint32_t message) {
    TBytes m(26, 0);  // 25 bytes in a 13-unit payload
    m[0] = 0x03, m[1] = 0xEF, m[2] = 0x01;
    WriteI32(m.data() + 3, window);
    WriteI32(m.data() + 7, id);
    WriteU32(m.data() + 13, callback);
    WriteU32(m.data() + 17, message);
    WriteU32(m.data() + 21, (200u << 16) | 100u);
    return m;
}

TEST_F(DemoShell, WithTrayAnApplicationBringsThreeClientIconsAndAMiddleReleaseDeletesOne) {
    options.tray = true;
    TDemoShell& shell = Started();
    out.sent.clear();
    shell.OnReceive("CSML", ClientShell(0x0004, "APP0001"), now);
    ASSERT_EQ(out.Windows().size(), 1u);
    const auto window = static_cast<std::int32_t>(out.Windows()[0].header.ServerHandle);

    // What the client makes of it.
    TTrayHost host;
    test::FakeTrayIcons icons;
    TIconFileImages decoder;
    TMsgTray tray(host, TTrayPorts{&icons, &decoder});
    auto deliver = [&] {
        for (const auto& sent : out.sent)
            if (sent.bytes.size() >= 86 && sent.bytes[0] == 0x03 && sent.bytes[1] == 0xEF && sent.bytes[2] == 0x01)
                tray.OnRecvbuffer(sent.bytes.data(), static_cast<std::int32_t>(sent.bytes.size()));
        out.sent.clear();
    };
    deliver();
    ASSERT_EQ(tray.IconList.Count(), 3);
    const std::pair<std::int32_t, std::uint16_t> expected[] = {{1, 0x0401}, {5000, 0x8001}, {6000, 0x8002}};
    for (int i = 0; i < 3; ++i) {
        const TTrayIconEntry& entry = *tray.IconList.Get(i);
        EXPECT_EQ(entry.ServerWindow, window);
        EXPECT_EQ(entry.IconId, expected[i].first);
        EXPECT_EQ(entry.CallbackMessage, expected[i].second);
        EXPECT_EQ(icons.icons.at(entry.Icon).images.size(), 4u) << "16, 24, 32 and 48 pixels";
    }
    // The icon of id 1 shows id 2's image and tip: a small id of the same window.
    EXPECT_EQ(icons.icons.at(tray.IconList.Get(0)->Icon).tooltip, "APP0001 tray 2");
    const TIconImage& shown = icons.icons.at(tray.IconList.Get(0)->Icon).images.at(0);
    EXPECT_EQ(shown.pixels.at(static_cast<std::size_t>(shown.height / 2 * shown.width + shown.width / 2)), 0xFFC0392Bu)
        << "the centre of the red disc";

    shell.OnReceive("CSML", TrayMouse(window, 5000, 0x8001, 0x207), now);
    EXPECT_TRUE(out.sent.empty());
    shell.OnReceive("CSML", TrayMouse(window, 5000, 0x8001, 0x208), now);
    std::vector<std::uint32_t> messages;
    for (const TJson& line : out.records)
        if (line["event"] == "tray-mouse") {
            EXPECT_EQ(line["window"], window);
            EXPECT_EQ(line["id"], 5000);
            EXPECT_EQ(line["callback"], 0x8001);
            EXPECT_EQ(line["x"], 100);
            EXPECT_EQ(line["y"], 200);
            messages.push_back(line["message"]);
        }
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{0x207, 0x208}));
    deliver();
    ASSERT_EQ(tray.IconList.Count(), 2);
    EXPECT_EQ(tray.IconList.Get(1)->IconId, 6000);
}

}  // namespace
}  // namespace kiv::demo
