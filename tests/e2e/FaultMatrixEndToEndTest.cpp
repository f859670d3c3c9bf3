// The session against a misbehaving server or network: every failure the demo
// server can play, one row each, with the text the client shows, how the session
// ends, and the client's process gone within a bound. Rows share one private
// desktop and run a few at a time, each with a server, folders and a record of
// message boxes of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What the test does to the session once the server's shell reached a state.
enum class TAct {
    None,            // the session ends by itself
    UserDisconnect,  // the user ends it (it must still be running then)
    KillServer,      // the server dies (SIGKILL)
};

struct FaultRow {
    std::string name;
    std::vector<std::string> server;  // the demo server's options
    // The one message box: its caption and a part of its text; no caption: no box at all.
    std::string caption;
    std::string text;
    TAct act = TAct::None;
    std::string whenShell;  // the shell's state in the transcript that starts the act
    int afterMs = 0;
    int boundSeconds = 25;  // from the client's start to its end
};

constexpr char kError[] = "Error";
constexpr char kInfo[] = "Information";
constexpr int kParallelRows = 5;

std::vector<FaultRow> Rows() {
    std::vector<FaultRow> rows;
    // Every authentication result the table knows, and one it does not.
    for (const auto& [code, text] : std::vector<std::pair<const char*, const char*>>{
             {"3", "different protocol versions"},
             {"4", "has expired"},
             {"308", "not available at the moment"},
             {"309", "does not exist"},
             {"310", "cannot reach its database"},
             {"312", "waiting to enter the session"},
             {"313", "already logged on elsewhere"},
             {"314", "has been disabled"},
             {"315", "out of resources"}})
        rows.push_back({std::string("auth ") + code, {"--auth-result", code}, kError, text});
    rows.push_back({"auth 2 (no text)", {"--auth-result", "2"}, "", ""});
    rows.push_back({"multi account", {"--multi-account"}, kError, "cannot log on twice"});
    // The shell stops answering: the logon watchdog names the stage where it runs.
    rows.push_back({"stall connected", {"--stall-at", "connected"}, kError, "server-side program does not answer"});
    rows.push_back({"stall auth", {"--stall-at", "auth"}, kError, "logging on to the remote system timed out"});
    rows.push_back({"stall logon", {"--stall-at", "logon"}, "", "", TAct::UserDisconnect, "stalled", 500});
    rows.push_back({"stall shell-loading", {"--stall-at", "shell-loading"}, kError, "Loading the remote environment timed out"});
    rows.push_back({"stall shell-started", {"--stall-at", "shell-started"}, "", "", TAct::UserDisconnect, "stalled", 500});
    rows.push_back({"logon error connected", {"--logon-error-at", "connected"}, kError, "does not answer"});
    rows.push_back({"logon error auth", {"--logon-error-at", "auth"}, kError, "timed out"});
    rows.push_back({"logon error logon", {"--logon-error-at", "logon"}, "", ""});
    rows.push_back({"logon error shell-loading", {"--logon-error-at", "shell-loading"}, kError, "remote environment timed out"});
    rows.push_back({"logon error shell-started", {"--logon-error-at", "shell-started"}, kError, "did not start in time"});
    rows.push_back({"session error 2", {"--session-error", "2"}, kError, "security check failed"});
    rows.push_back({"session error 307", {"--session-error", "307"}, kError, "cannot be found on the server"});
    rows.push_back({"session error 99", {"--session-error", "99"}, kError, "unknown error occurred (error code 99)"});
    rows.push_back({"app run error 5", {"--app-run-error", "5"}, kError, "(error code 5): Access is denied."});
    rows.push_back({"app run error 4711", {"--app-run-error", "4711"}, kError, "failed to run (error code 4711)."});
    // The server ends the running session and says why.
    rows.push_back({"error info 0x1", {"--error-info", "0x1"}, kInfo, "server administration tool"});
    rows.push_back({"error info 0x3", {"--error-info", "0x3"}, kInfo, "idle for too long"});
    rows.push_back({"error info 0x5", {"--error-info", "0x5"}, kInfo, "connected from another place"});
    rows.push_back({"error info 0xC", {"--error-info", "0xC"}, "", ""});  // a logoff: quiet
    rows.push_back({"error info 0x10A", {"--error-info", "0x10A"}, kInfo, "accepts no more remote connections"});
    rows.push_back({"logoff", {"--logoff-after-ms", "800"}, "", ""});
    // The line goes, before and after the shell is up, with and without a reconnection.
    rows.push_back({"drop before the shell", {"--no-shell", "--step", "after connect 2s drop"}, kInfo, "network connection was lost"});
    rows.push_back({"logoff during logon", {"--no-shell", "--step", "after connect 2s error-info 0xC close"}, kInfo,
                    "logged off by the server"});
    rows.push_back({"drop after the shell", {"--drop-after-ms", "1500"}, kInfo, "network connection was lost"});
    rows.push_back({"drop, the server lost the session", {"--reconnect-policy", "5", "--drop-after-ms", "1500"}, kError,
                    "Authentication was repeated"});
    rows.push_back({"reconnection succeeds", {"--reconnect-policy", "2", "--reconnect-after-ms", "500"}, "", "",
                    TAct::UserDisconnect, "reconnected", 4000});
    rows.push_back({"reconnection runs out",
                    {"--reconnect-policy", "2", "--reconnect-after-ms", "500", "--step", "connection 2 after accept stall"},
                    kInfo, "network connection was lost"});
    rows.push_back({"server killed", {}, kInfo, "network connection was lost", TAct::KillServer, "started", 500});
    // A wrong password, refused by CredSSP and by the server's logon.
    rows.push_back({"wrong password, NLA", {"--nla", "--user", "ann", "--password", "right"}, kInfo,
                    "refused the logon"});
    rows.push_back({"wrong password, TLS", {"--user", "ann", "--password", "right"}, kInfo, "refused the logon"});
    return rows;
}

class FaultMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
        // A short logon watchdog; NLA offered (a server without it gets TLS).
        client = harness.ClientCopy("[KivClient]\nTimeOut=3000\n[Local Property]\nEnableNLA=1\n");
    }

    struct Run {
        const FaultRow& row;
        std::filesystem::path folder;
        std::unique_ptr<test::DemoServer> server;
        std::unique_ptr<test::ChildProcess> process;
        Clock::time_point started;
        std::optional<Clock::time_point> actAt;
        bool acted = false;
        std::optional<int> exit;
        std::string failure;
    };

    std::unique_ptr<Run> Begin(const FaultRow& row, int index) {
        auto run = std::make_unique<Run>(Run{row, harness.Dir().path() / ("row" + std::to_string(index))});
        std::filesystem::create_directories(run->folder);
        run->server = std::make_unique<test::DemoServer>(row.server, run->folder);
        if (!run->server->Started()) {
            run->failure = "the demo server did not start: " + run->server->StartError();
            return run;
        }
        const auto file = run->folder / "app.kiv";
        std::ofstream(file) << "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=0\r\n"
                               "Width=800\r\nHeight=600\r\nColor=4\r\n[Application]\r\nApp_id=APP0001\r\n"
                               "App_name=Notepad\r\nApp_type_mode=2\r\n[Server]\r\nServer_Address=127.0.0.1:"
                            << run->server->Port() << "\r\nLogin_User=" << EncodeCredential("ann")
                            << "\r\nLogin_PassWord=" << EncodeCredential("secret") << "\r\n";
        test::ChildProcess::Options options;
        options.env = harness.EnvIn(run->folder);
        options.stdoutFile = options.stderrFile = (run->folder / "client.out").string();
        run->process = std::make_unique<test::ChildProcess>();
        run->process->Start({client.string(), file.string()}, options);
        run->started = Clock::now();
        return run;
    }

    bool ShellReached(const Run& run) const {
        for (const auto& line : run.server->Events("shell"))
            if (line.value("state", "") == run.row.whenShell) return true;
        return false;
    }

    void Act(Run& run) {
        if (run.row.act == TAct::KillServer) {
            run.server->Stop(SIGKILL, 5s);
            return;
        }
        test::ChildProcess request({KIVTOOL_PATH, "send-window-message", "--pid", std::to_string(run.process->Pid()),
                                    "WM_MSG_DISCONNECT_DEBUG"},
                                   harness.EnvIn(run.folder));
        if (request.Wait(10s) != 0) run.failure = "the disconnect request did not reach the client";
    }

    // One look at a running row: acts when due; true once the row is over.
    bool Step(Run& run) {
        if (!run.failure.empty()) return true;
        if (auto code = run.process->Wait(0ms)) {
            run.exit = code;
            if (run.row.act != TAct::None && !run.acted) run.failure = "ended before the test acted";
            return true;
        }
        const auto now = Clock::now();
        if (run.row.act != TAct::None && !run.acted) {
            if (!run.actAt && ShellReached(run)) run.actAt = now + std::chrono::milliseconds(run.row.afterMs);
            if (run.actAt && now >= *run.actAt) {
                run.acted = true;
                Act(run);
            }
        }
        if (now - run.started > std::chrono::seconds(run.row.boundSeconds)) {
            run.failure = "still running after " + std::to_string(run.row.boundSeconds) + " s";
            run.process->Stop(SIGKILL, 5s);
            return true;
        }
        return false;
    }

    void Judge(const Run& run) {
        const FaultRow& row = run.row;
        SCOPED_TRACE(row.name);
        std::ostringstream boxes;
        const auto shown = test::ClientSessionHarness::MessageBoxesIn(run.folder);
        for (const auto& box : shown) boxes << box.dump() << "\n";
        EXPECT_EQ(run.failure, "") << "boxes:\n" << boxes.str() << LogTail(run);
        EXPECT_EQ(run.exit, std::optional<int>(0)) << LogTail(run);
        if (row.caption.empty()) {
            EXPECT_TRUE(shown.empty()) << boxes.str();
            return;
        }
        ASSERT_EQ(shown.size(), 1u) << boxes.str();
        EXPECT_EQ(shown[0].value("caption", ""), row.caption);
        EXPECT_NE(shown[0].value("text", "").find(row.text), std::string::npos) << shown[0].dump();
    }

    static std::string LogTail(const Run& run) {
        std::string text;
        for (const auto& name : {run.folder / "state" / "VYNClient6.0" / "KivClient.log", run.folder / "client.out"}) {
            const std::string all = test::ReadFileBytes(name);
            text += "\n--- " + name.filename().string() + "\n" + all.substr(all.size() > 3000 ? all.size() - 3000 : 0);
        }
        return text;
    }

    test::ClientSessionHarness harness;
    std::filesystem::path client;
};

TEST_F(FaultMatrix, EveryFailureIsToldAndEndsTheProcess) {
    const std::vector<FaultRow> rows = Rows();
    std::vector<std::unique_ptr<Run>> running, done;
    std::size_t next = 0;
    while (next < rows.size() || !running.empty()) {
        while (next < rows.size() && running.size() < kParallelRows) {
            running.push_back(Begin(rows[next], static_cast<int>(next)));
            ++next;
        }
        for (auto it = running.begin(); it != running.end();) {
            if (Step(**it)) {
                done.push_back(std::move(*it));
                it = running.erase(it);
            } else {
                ++it;
            }
        }
        std::this_thread::sleep_for(50ms);
    }
    for (const auto& run : done) Judge(*run);
}

}  // namespace
}  // namespace kiv
