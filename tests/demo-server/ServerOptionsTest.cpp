// The demo server's command line as other tests and the demo give it.
#include <gtest/gtest.h>

#include "tools/demo-server/ScenarioParser.h"
#include "tools/demo-server/ServerOptions.h"

namespace kiv::demo {
namespace {

std::string UsageErrorOf(const std::vector<std::string>& args) {
    try {
        ParseServerOptions(args);
    } catch (const TUsageError& error) {
        return error.what();
    }
    return "no error";
}

TEST(ServerOptions, ReadsEveryOptionInBothSpellings) {
    const TServerOptions options = ParseServerOptions({"--port=0",
                                                       "--state-dir",
                                                       "/s",
                                                       "--transcript",
                                                       "/t.jsonl",
                                                       "--scenario=/sc.txt",
                                                       "--step",
                                                       "echo CSML",
                                                       "--step",
                                                       "stall",
                                                       "--user",
                                                       "u",
                                                       "--password=p",
                                                       "--domain",
                                                       "D",
                                                       "--nla",
                                                       "--new-certificate",
                                                       "--width",
                                                       "800",
                                                       "--height=600",
                                                       "--color",
                                                       "#102030",
                                                       "--log-level",
                                                       "DEBUG",
                                                       "--transcript-secrets",
                                                       "--handshake-timeout-ms",
                                                       "1500",
                                                       "--idle-timeout-ms=0"});
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.stateDir, "/s");
    EXPECT_EQ(options.transcript, std::filesystem::path("/t.jsonl"));
    EXPECT_EQ(options.scenarioFile, std::filesystem::path("/sc.txt"));
    EXPECT_EQ(options.steps, (std::vector<std::string>{"echo CSML", "stall"}));
    EXPECT_EQ(options.user, "u");
    EXPECT_EQ(options.password, "p");
    EXPECT_EQ(options.domain, "D");
    EXPECT_TRUE(options.nla);
    EXPECT_TRUE(options.newCertificate);
    EXPECT_EQ(options.width, 800);
    EXPECT_EQ(options.height, 600);
    EXPECT_EQ(options.color, 0x102030u);
    EXPECT_EQ(options.logLevel, "DEBUG");
    EXPECT_TRUE(options.transcriptSecrets);
    EXPECT_EQ(options.handshakeTimeoutMs, 1500);
    EXPECT_EQ(options.idleTimeoutMs, 0);
}

TEST(ServerOptions, DefaultsAndHelp) {
    const TServerOptions options = ParseServerOptions({"--port", "3390", "--state-dir", "s"});
    EXPECT_EQ(options.color, kDemoDesktopColor);
    EXPECT_FALSE(options.transcript.has_value());
    EXPECT_FALSE(options.nla);
    EXPECT_FALSE(options.transcriptSecrets);  // passwords are masked
    EXPECT_EQ(options.handshakeTimeoutMs, 30000);
    EXPECT_EQ(options.idleTimeoutMs, 900000);
    EXPECT_TRUE(ParseServerOptions({"--help"}).help);
    // Help needs none of the required options.
    EXPECT_TRUE(ParseServerOptions({"--nla", "-h"}).help);
}

TEST(ServerOptions, RefusesWrongCommandLines) {
    EXPECT_NE(UsageErrorOf({"--state-dir", "s"}).find("--port is required"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0"}).find("--state-dir is required"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "65536", "--state-dir", "s"}).find("from 0 to 65535"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "12x", "--state-dir", "s"}).find("not '12x'"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "s", "--nla", "--user", "u"}).find("--nla needs"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "s", "--color", "blue"}).find("0xRRGGBB"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "s", "--width", "10"}).find("from 64"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir"}).find("needs a value"), std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "s", "--bogus"}).find("unknown option '--bogus'"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "s", "--nla=yes"}).find("unknown option"), std::string::npos);
}

}  // namespace
}  // namespace kiv::demo

namespace kiv::demo {
namespace {

TEST(ServerOptions, TheHelpExamplesAreRealRules) {
    const std::string help = HelpText();
    int steps = 0;
    for (std::size_t at = help.find("--step \""); at != std::string::npos; at = help.find("--step \"", at + 1)) {
        const std::size_t start = at + 8;
        const std::size_t end = help.find('"', start);
        ASSERT_NE(end, std::string::npos);
        TScenario scenario;
        EXPECT_NO_THROW(ParseScenarioText(help.substr(start, end - start), "help", scenario))
            << help.substr(start, end - start);
        ++steps;
    }
    EXPECT_EQ(steps, 7);
}

}  // namespace
}  // namespace kiv::demo

namespace kiv::demo {
namespace {

TEST(ServerOptions, ReadsTheShellsOptions) {
    const TServerOptions options = ParseServerOptions(
        {"--port", "0", "--state-dir", "/s", "--auth-result", "309", "--session-number=9", "--logon-error-at",
         "shell-loading", "--stall-at", "auth", "--session-error", "307", "--app-run-error", "2", "--error-info",
         "0x3", "--drop-after-ms", "100", "--reconnect-policy", "30", "--reconnect-after-ms", "200",
         "--logoff-after-ms", "300", "--windows", "2", "--move-every-ms", "50", "--stress-windows", "10",
         "--stress-rate", "30", "--stress-steps", "12", "--multi-account", "--menu", "--caret-flags", "0x20", "--ask-address",
         "--start-video", "10.0.0.9:8899|a"});
    const TShellOptions& shell = options.shell;
    EXPECT_TRUE(shell.enabled);
    EXPECT_EQ(shell.authResult, 309);
    EXPECT_EQ(shell.sessionNumber, 9);
    EXPECT_EQ(shell.logonErrorAt, TShellStage::ShellLoading);
    EXPECT_EQ(shell.stallAt, TShellStage::Auth);
    EXPECT_EQ(shell.sessionError, 307);
    EXPECT_EQ(shell.appRunError, 2);
    EXPECT_EQ(shell.errorInfo, 3u);
    EXPECT_EQ(shell.dropAfterMs, 100);
    EXPECT_EQ(shell.reconnectPolicySeconds, 30);
    EXPECT_EQ(shell.reconnectAfterMs, 200);
    EXPECT_EQ(shell.logoffAfterMs, 300);
    EXPECT_EQ(shell.windowsPerApp, 2);
    EXPECT_EQ(shell.moveEveryMs, 50);
    EXPECT_EQ(shell.stressWindows, 10);
    EXPECT_EQ(shell.stressRateHz, 30);
    EXPECT_EQ(shell.stressSteps, 12);
    EXPECT_TRUE(shell.multiAccount);
    EXPECT_TRUE(shell.menuAtStart);
    EXPECT_TRUE(shell.caret);
    EXPECT_EQ(shell.caretFlags, 0x20u);
    EXPECT_TRUE(shell.askAddress);
    EXPECT_EQ(shell.startVideo, "10.0.0.9:8899|a");
    EXPECT_FALSE(ParseServerOptions({"--port", "0", "--state-dir", "/s", "--no-shell"}).shell.enabled);
    EXPECT_EQ(ParseServerOptions({"--port", "0", "--state-dir", "/s", "--auth-result", "-5"}).shell.authResult, -5);
}

TEST(ServerOptions, RefusesShellOptionsItCannotHonour) {
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "/s", "--no-shell", "--windows", "2"}).find("--no-shell"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "/s", "--stall-at", "later"}).find("shell-started"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "/s", "--error-info", "0xZZ"}).find("--error-info"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "/s", "--move-every-ms", "0"}).find("--move-every-ms"),
              std::string::npos);
    EXPECT_NE(UsageErrorOf({"--port", "0", "--state-dir", "/s", "--no-shell=1"}).find("unknown option"),
              std::string::npos);
}

TEST(ShellStages, NamesAndEventCodes) {
    for (const char* name : {"connected", "auth", "logon", "shell-loading", "shell-started"}) {
        const auto stage = ParseShellStage(name);
        ASSERT_TRUE(stage.has_value()) << name;
        EXPECT_EQ(ShellStageName(*stage), name);
    }
    EXPECT_EQ(ShellStageEvent(TShellStage::Connected), 0x8003);
    EXPECT_EQ(ShellStageEvent(TShellStage::Auth), 0x1000);
    EXPECT_EQ(ShellStageEvent(TShellStage::Logon), 0x2000);
    EXPECT_EQ(ShellStageEvent(TShellStage::ShellLoading), 0x4000);
    EXPECT_EQ(ShellStageEvent(TShellStage::ShellStarted), 0x4001);
    EXPECT_FALSE(ParseShellStage("Auth").has_value());
}

}  // namespace
}  // namespace kiv::demo
