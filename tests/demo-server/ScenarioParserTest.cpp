// The scenario language: what each form of rule becomes, and what is refused.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tools/demo-server/ScenarioParser.h"

namespace kiv::demo {
namespace {

const TRule& OnlyRule(const TScenario& scenario) {
    EXPECT_EQ(scenario.rules.size(), 1u);
    return scenario.rules.at(0);
}

std::string ErrorOf(std::string_view text) {
    try {
        ParseScenario(text);
    } catch (const TScenarioError& error) {
        return error.what();
    }
    return "no error";
}

TEST(ScenarioParser, ReadsTriggersDelaysAndSends) {
    const TScenario scenario = ParseScenario(
        "after connect send CSML 5A2E07 0001\n"
        "after recv CSMT 3FEE04 ?? 01 200ms send CSMT 3fee04ff\n"
        "after 1500ms send CSMP 01\n"
        "after logon 2s error-info 0x10A close\n");
    ASSERT_EQ(scenario.rules.size(), 4u);

    const TRule& connect = scenario.rules[0];
    EXPECT_EQ(connect.trigger.kind, TTriggerKind::Connect);
    ASSERT_EQ(connect.actions.size(), 1u);
    EXPECT_EQ(connect.actions[0].kind, TActionKind::Send);
    EXPECT_EQ(connect.actions[0].channel, "CSML");
    EXPECT_EQ(connect.actions[0].bytes, (TBytes{0x5A, 0x2E, 0x07, 0x00, 0x01}));
    EXPECT_EQ(connect.actions[0].offsetMs, 0);

    const TRule& recv = scenario.rules[1];
    EXPECT_EQ(recv.trigger.kind, TTriggerKind::Receive);
    EXPECT_EQ(recv.trigger.channel, "CSMT");
    ASSERT_EQ(recv.trigger.prefix.bytes.size(), 5u);
    EXPECT_EQ(recv.trigger.prefix.bytes[2], std::optional<std::uint8_t>(0x04));
    EXPECT_FALSE(recv.trigger.prefix.bytes[3].has_value());
    EXPECT_EQ(recv.actions[0].offsetMs, 200);
    EXPECT_EQ(recv.actions[0].bytes, (TBytes{0x3F, 0xEE, 0x04, 0xFF}));

    EXPECT_EQ(scenario.rules[2].trigger.kind, TTriggerKind::Connect);
    EXPECT_EQ(scenario.rules[2].actions[0].offsetMs, 1500);

    const TRule& logon = scenario.rules[3];
    EXPECT_EQ(logon.trigger.kind, TTriggerKind::Logon);
    ASSERT_EQ(logon.actions.size(), 2u);
    EXPECT_EQ(logon.actions[0].kind, TActionKind::ErrorInfo);
    EXPECT_EQ(logon.actions[0].code, 0x10Au);
    EXPECT_EQ(logon.actions[1].kind, TActionKind::Close);
    EXPECT_EQ(logon.actions[1].offsetMs, 2000);
}

TEST(ScenarioParser, WaitAddsUpBetweenActions) {
    const TRule& rule = OnlyRule(ParseScenario("after connect 100ms send CSML 01 wait 50ms send CSML 02 wait 1s drop"));
    ASSERT_EQ(rule.actions.size(), 3u);
    EXPECT_EQ(rule.actions[0].offsetMs, 100);
    EXPECT_EQ(rule.actions[1].offsetMs, 150);
    EXPECT_EQ(rule.actions[2].offsetMs, 1150);
    EXPECT_EQ(rule.actions[2].kind, TActionKind::Drop);
}

TEST(ScenarioParser, ShortFormsMeanWhatTheHelpSays) {
    const TScenario scenario = ParseScenario("echo CSMT; stall; drop-once; reconnect-cookie; close");
    ASSERT_EQ(scenario.rules.size(), 5u);
    EXPECT_EQ(scenario.rules[0].trigger.kind, TTriggerKind::Receive);
    EXPECT_EQ(scenario.rules[0].trigger.channel, "CSMT");
    EXPECT_TRUE(scenario.rules[0].trigger.prefix.bytes.empty());
    EXPECT_EQ(scenario.rules[0].actions[0].kind, TActionKind::Echo);
    EXPECT_EQ(scenario.rules[1].trigger.kind, TTriggerKind::Accept);
    EXPECT_EQ(scenario.rules[1].actions[0].kind, TActionKind::Stall);
    EXPECT_EQ(scenario.rules[2].trigger.kind, TTriggerKind::Connect);
    EXPECT_EQ(scenario.rules[2].actions[0].kind, TActionKind::Drop);
    EXPECT_TRUE(scenario.rules[2].actions[0].once);
    EXPECT_EQ(scenario.rules[3].actions[0].kind, TActionKind::ReconnectCookie);
    EXPECT_EQ(scenario.rules[4].actions[0].kind, TActionKind::Close);
}

TEST(ScenarioParser, OnceAndConnectionQualifyARule) {
    const TScenario scenario = ParseScenario(
        "once after connect send CSML 01\nconnection 3 after accept 1s drop\n"
        "once connection 2 echo CSML");
    ASSERT_EQ(scenario.rules.size(), 3u);
    EXPECT_TRUE(scenario.rules[0].once);
    EXPECT_FALSE(scenario.rules[0].connection.has_value());
    EXPECT_FALSE(scenario.rules[1].once);
    EXPECT_EQ(scenario.rules[1].connection, 3);
    EXPECT_EQ(scenario.rules[1].actions[0].offsetMs, 1000);
    EXPECT_TRUE(scenario.rules[2].once);
    EXPECT_EQ(scenario.rules[2].connection, 2);
    EXPECT_EQ(scenario.rules[2].actions[0].kind, TActionKind::Echo);
}

TEST(ScenarioParser, SkipsCommentsAndBlankLinesAndGivesDistinctIds) {
    TScenario scenario;
    ParseScenarioText("# a comment\n\n   \nafter connect send CSML 01 # trailing\r\n", "file", scenario);
    ParseScenarioText("echo CSML", "--step 1", scenario);
    ASSERT_EQ(scenario.rules.size(), 2u);
    EXPECT_EQ(scenario.rules[0].source, "file line 4");
    EXPECT_EQ(scenario.rules[0].actions[0].bytes, TBytes{0x01});
    EXPECT_EQ(scenario.rules[1].source, "--step 1 line 1");
    std::set<int> ids{scenario.rules[0].id, scenario.rules[0].actions[0].id, scenario.rules[1].id,
                      scenario.rules[1].actions[0].id};
    EXPECT_EQ(ids.size(), 4u);
}

TEST(ScenarioParser, RefusesWhatCannotWorkAndSaysWhere) {
    EXPECT_EQ(ErrorOf("\n\nafter connect sned CSML 01"), "scenario line 3: unknown action 'sned'");
    EXPECT_NE(ErrorOf("after connect send CSMX 01").find("expected a channel"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect send CSML 0").find("expected the hex bytes"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect send CSML").find("the end of the rule"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect send CSML ??").find("expected the hex bytes"), std::string::npos);
    EXPECT_NE(ErrorOf("after accept send CSML 01").find("needs an RDP session"), std::string::npos);
    EXPECT_NE(ErrorOf("after accept reconnect-cookie").find("needs an RDP session"), std::string::npos);
    EXPECT_NE(ErrorOf("after logon send CSML 01").find("cannot run at logon"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect echo").find("'echo' answers a message"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect stall").find("only works after accept"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect close send CSML 01").find("nothing can follow 'close'"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect drop wait 1s drop").find("nothing can follow 'drop'"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect").find("at least one action"), std::string::npos);
    EXPECT_NE(ErrorOf("after later send CSML 01").find("expected accept, logon"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect wait soon close").find("after 'wait'"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect error-info 0x1FFFFFFFF close").find("error-info code"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect error-info three").find("error-info code"), std::string::npos);
    EXPECT_NE(ErrorOf("connection 0 echo CSML").find("connection number"), std::string::npos);
    EXPECT_NE(ErrorOf("after connect 99999999999999ms close").find("unknown action"), std::string::npos);
}

TEST(ScenarioParser, DropOnceMayBeFollowedButDropMayNot) {
    const TRule& rule = OnlyRule(ParseScenario("after connect drop-once send CSML 01"));
    ASSERT_EQ(rule.actions.size(), 2u);
    EXPECT_TRUE(rule.actions[0].once);
    EXPECT_FALSE(rule.actions[1].once);
}

}  // namespace
}  // namespace kiv::demo

namespace kiv::demo {
namespace {

// The examples the documentation shows are real rules.
TEST(ScenarioParser, TheDocumentedExamplesParse) {
    std::ifstream in(std::string(KIV_SOURCE_DIR) + "/docs/demo-server.md");
    std::stringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    const auto start = doc.find("Examples:\n\n```\n");
    ASSERT_NE(start, std::string::npos);
    const auto body = start + std::string("Examples:\n\n```\n").size();
    const auto end = doc.find("```", body);
    ASSERT_NE(end, std::string::npos);
    TScenario scenario;
    ParseScenarioText(doc.substr(body, end - body), "docs", scenario);
    EXPECT_EQ(scenario.rules.size(), 10u);
}

}  // namespace
}  // namespace kiv::demo
