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
                                                       "DEBUG"});
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
}

TEST(ServerOptions, DefaultsAndHelp) {
    const TServerOptions options = ParseServerOptions({"--port", "3390", "--state-dir", "s"});
    EXPECT_EQ(options.color, kDemoDesktopColor);
    EXPECT_FALSE(options.transcript.has_value());
    EXPECT_FALSE(options.nla);
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
