// kivtool proxy-check, run as a user runs it, against targets and a proxy on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ProxyTestSupport.h"
#include "support/ChildProcess.h"
#include "support/ProxyPeers.h"

namespace kiv::test {
namespace {

struct TToolRun {
    int exitCode = -1;
    nlohmann::json report;
};

TToolRun RunProxyCheck(const std::string& arguments, const std::map<std::string, std::string>& env = {}) {
    TToolRun run;
#ifdef KIVTOOL_PATH
    std::vector<std::string> argv{KIVTOOL_PATH, "proxy-check"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;) argv.push_back(word);
    ChildProcess::Options options;
    options.env = env;
    const ProgramRun tool = RunToEnd(argv, options);
    run.exitCode = tool.exitCode;
    run.report = nlohmann::json::parse(tool.out, nullptr, false);
#endif
    return run;
}

std::vector<std::string> StepNames(const nlohmann::json& report) {
    std::vector<std::string> names;
    for (const auto& step : report["Steps"]) names.push_back(step["Step"].get<std::string>());
    return names;
}

class ProxyCheckTool : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef KIVTOOL_PATH
        GTEST_SKIP() << "built without the path of kivtool";
#endif
    }
    TTestTargets targets;
};

TEST_F(ProxyCheckTool, ADirectTunnelToATargetThatSpeaksFirst) {
    const uint16_t target = targets.Greeter("RFB 003.008\n");
    const TToolRun run = RunProxyCheck("127.0.0.1:" + std::to_string(target));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.report["Result"], "open");
    EXPECT_EQ(run.report["TargetAnswer"]["Answer"], "bytes");
    EXPECT_EQ(run.report["TargetAnswer"]["FirstBytes"], "52 46 42 20 30 30 33 2E 30 30 38 0A");
    EXPECT_EQ(StepNames(run.report), (std::vector<std::string>{"accept", "connect", "open", "close"}));
}

TEST_F(ProxyCheckTool, ASilentTargetIsReportedAsAccepted) {
    const TToolRun run = RunProxyCheck("127.0.0.1:" + std::to_string(targets.Echo()));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.report["TargetAccepted"], true);
    EXPECT_EQ(run.report["TargetAnswer"]["Answer"], "silent");
}

TEST_F(ProxyCheckTool, ARefusedConnectionFailsWithTheReason) {
    const TToolRun run = RunProxyCheck("127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
    ASSERT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.report["Result"], "failed");
    EXPECT_NE(run.report["Error"].get<std::string>().find("refused"), std::string::npos) << run.report.dump();
}

TEST_F(ProxyCheckTool, EachSocksStepIsShownWithoutThePassword) {
    TMicrosocksPeer peer;
    std::string why;
    if (!peer.Start(why, kPeerUser, kPeerPassword)) GTEST_SKIP() << "microsocks cannot run here: " << why;
    const TToolRun run = RunProxyCheck("127.0.0.1:" + std::to_string(targets.Echo()) + " --type 4 --proxy 127.0.0.1:" +
                                       std::to_string(peer.port) + " --user " + kPeerUser + " --password " +
                                       kPeerPassword);
    ASSERT_EQ(run.exitCode, 0) << run.report.dump();
    const std::string text = run.report.dump();
    EXPECT_NE(text.find("SOCKS 5 method 0x02"), std::string::npos) << text;
    EXPECT_NE(text.find("SOCKS 5 user/password accepted"), std::string::npos) << text;
    EXPECT_EQ(text.find(kPeerPassword), std::string::npos) << text;
}

TEST_F(ProxyCheckTool, WithAFarmItsOwnProxySettingsAreUsed) {
    TMicrosocksPeer peer;
    std::string why;
    if (!peer.Start(why, kPeerUser, kPeerPassword)) GTEST_SKIP() << "microsocks cannot run here: " << why;
    TempDir config;
    config.Write("VYNClient6.0/Farms.ini", "[Farms]\r\nFarmList=Sales\r\n");
    config.Write("VYNClient6.0/Sales/Farm.ini", "[Farm]\r\nFarmHost=portal.example.test\r\nFarmPort=80\r\n"
                                                "[ProxySet]\r\nProxyType=4\r\nProxyServer=127.0.0.1\r\nProxyPort=" +
                                                    std::to_string(peer.port) + "\r\nProxyUser=" + kPeerUser +
                                                    "\r\nProxyPwd=" + kPeerPassword + "\r\n");
    const TToolRun run = RunProxyCheck("127.0.0.1:" + std::to_string(targets.Echo()) +
                                           " --farm http://portal.example.test/kiv?x=1",
                                       {{"XDG_CONFIG_HOME", config.path().string()}});
    ASSERT_EQ(run.exitCode, 0) << run.report.dump();
    EXPECT_EQ(run.report["ProxySet"]["ProxyType"], 4);
    EXPECT_EQ(run.report["ProxySet"]["ProxyPwd"], "***");
    EXPECT_EQ(run.report["Steps"][1]["Detail"], "127.0.0.1:" + std::to_string(peer.port));
}

TEST_F(ProxyCheckTool, WrongArgumentsAreAUsageError) {
    EXPECT_EQ(RunProxyCheck("no-port").exitCode, 2);
    EXPECT_EQ(RunProxyCheck("127.0.0.1:3389 --type 2").exitCode, 2);
    EXPECT_EQ(RunProxyCheck("127.0.0.1:3389 --farm x --type 2").exitCode, 2);
}

}  // namespace
}  // namespace kiv::test
