// kivtool fetch, run as a portal administrator would run it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/Loopback.h"
#include "support/PortalServer.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

struct TToolRun {
    std::vector<std::string> out;
    std::vector<std::string> err;
    int exitCode = -1;
};

TToolRun RunKivtool(std::vector<std::string> args) {
    args.insert(args.begin(), KIVTOOL_PATH);
    test::ChildProcess::Options options;
    options.stderrPipe = true;
    test::ChildProcess tool;
    tool.Start(args, options);
    TToolRun run;
    while (auto line = tool.ReadLine(std::chrono::seconds(20))) run.out.push_back(*line);
    while (auto line = tool.ReadErrorLine(std::chrono::seconds(20))) run.err.push_back(*line);
    run.exitCode = tool.Wait(std::chrono::minutes(1)).value_or(-1);
    return run;
}

class FetchCommand : public ::testing::Test {
protected:
    test::TempDir folder_;
    test::ScopedEnv config_{"XDG_CONFIG_HOME", folder_.path().string()};
    std::string localIni_ = folder_.Write("KivClient.ini", "[FingerPrints]\r\nUSE=1\r\n").string();
};

TEST_F(FetchCommand, PrintsTheAnswerAndAsksWithTheAddressUrlOnlyShows) {
    test::TPortalServer portal("[RESULT]\r\nresult=3\r\nMsgDesc=locked\r\n");
    ASSERT_TRUE(portal.Running());
    const std::string address = "127.0.0.1:" + std::to_string(portal.Port()) + "/kiv?x=1";

    const TToolRun urlOnly = RunKivtool({"fetch", "--url-only", "--local-ini", localIni_, address});
    ASSERT_EQ(urlOnly.exitCode, 0);
    ASSERT_EQ(urlOnly.out.size(), 1u);
    const std::string prefix = "http://" + address + "&Computer=";
    ASSERT_EQ(urlOnly.out[0].rfind(prefix, 0), 0u) << urlOnly.out[0];
    EXPECT_NE(urlOnly.out[0].find("&Finger=B"), std::string::npos) << urlOnly.out[0];
    EXPECT_TRUE(portal.Requests().empty());

    const TToolRun fetch = RunKivtool({"fetch", "--local-ini", localIni_, address});
    EXPECT_EQ(fetch.exitCode, 0);
    EXPECT_EQ(fetch.out, (std::vector<std::string>{"[RESULT]", "result=3", "MsgDesc=locked"}));
    const auto requests = portal.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string origin = "http://127.0.0.1:" + std::to_string(portal.Port());
    EXPECT_EQ(origin + requests[0]["path"].get<std::string>(), urlOnly.out[0]);
}

TEST_F(FetchCommand, ErrorGoesToStandardErrorWithExitCodeOne) {
    test::TClosedPort closed;
    const TToolRun fetch =
        RunKivtool({"fetch", "--local-ini", localIni_, "http://127.0.0.1:" + std::to_string(closed.Port()) + "/k?x=1"});
    EXPECT_EQ(fetch.exitCode, 1);
    EXPECT_TRUE(fetch.out.empty());
    ASSERT_EQ(fetch.err.size(), 1u);
    EXPECT_NE(fetch.err[0].find(std::to_string(closed.Port())), std::string::npos) << fetch.err[0];
}

}  // namespace
}  // namespace kiv
