// The rule engine on a test's own clock: which actions come due, when, and
// with what bytes.
#include <gtest/gtest.h>

#include "tools/demo-server/RuleEngine.h"
#include "tools/demo-server/ScenarioParser.h"

namespace kiv::demo {
namespace {

class RuleEngine : public ::testing::Test {
protected:
    TRuleEngine Engine(std::string_view text, int connection = 1) {
        scenario = std::make_shared<TScenario>(ParseScenario(text));
        return TRuleEngine(scenario, once, connection);
    }
    std::shared_ptr<TScenario> scenario;
    std::shared_ptr<TOnceRegistry> once = std::make_shared<TOnceRegistry>();
};

std::vector<TActionKind> Kinds(const std::vector<TDueAction>& actions) {
    std::vector<TActionKind> kinds;
    for (const auto& action : actions) kinds.push_back(action.kind);
    return kinds;
}

TEST_F(RuleEngine, ActionsComeDueAfterTheirDelaysInOrder) {
    TRuleEngine engine = Engine(
        "after connect 100ms send CSML 02\n"
        "after connect send CSML 01 wait 100ms error-info 3 wait 50ms close\n");
    EXPECT_FALSE(engine.NextDueMs().has_value());
    engine.Fire(TTriggerKind::Connect, 1000);
    EXPECT_EQ(engine.NextDueMs(), 1000);
    const auto now = engine.TakeDue(1000);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].bytes, TBytes{0x01});
    EXPECT_EQ(engine.NextDueMs(), 1100);
    EXPECT_TRUE(engine.TakeDue(1099).empty());
    // Same due time: the order they were scheduled in.
    const auto later = engine.TakeDue(1100);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].bytes, TBytes{0x02});
    EXPECT_EQ(later[1].kind, TActionKind::ErrorInfo);
    EXPECT_EQ(later[1].code, 3u);
    EXPECT_EQ(Kinds(engine.TakeDue(5000)), std::vector<TActionKind>{TActionKind::Close});
    EXPECT_FALSE(engine.HasPending());
}

TEST_F(RuleEngine, OnlyTheFiredTriggerSchedules) {
    TRuleEngine engine = Engine("after accept drop\nafter logon close\nafter connect send CSML 01");
    engine.Fire(TTriggerKind::Logon, 0);
    EXPECT_EQ(Kinds(engine.TakeDue(0)), std::vector<TActionKind>{TActionKind::Close});
    engine.Fire(TTriggerKind::Accept, 1);
    EXPECT_EQ(Kinds(engine.TakeDue(1)), std::vector<TActionKind>{TActionKind::Drop});
}

TEST_F(RuleEngine, ReceiveMatchesChannelAndPrefixAndEchoesTheMessage) {
    TRuleEngine engine = Engine("after recv CSML 5A2E07??01 send CSML FF\nafter recv CSMT 20ms echo");
    engine.Receive("CSML", {0x5A, 0x2E, 0x07, 0x99, 0x01, 0x77}, 0);
    engine.Receive("CSML", {0x5A, 0x2E, 0x07, 0x99, 0x02}, 0);  // byte 5 differs
    engine.Receive("CSML", {0x5A, 0x2E, 0x07, 0x99}, 0);        // shorter than the pattern
    engine.Receive("CSMP", {0x5A, 0x2E, 0x07, 0x99, 0x01}, 0);  // other channel
    const auto due = engine.TakeDue(0);
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].channel, "CSML");
    EXPECT_EQ(due[0].bytes, TBytes{0xFF});

    engine.Receive("CSMT", {0x3F, 0xEE, 0x04}, 10);
    engine.Receive("CSMT", {}, 15);
    EXPECT_TRUE(engine.TakeDue(29).empty());
    const auto echoes = engine.TakeDue(35);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[0].kind, TActionKind::Send);
    EXPECT_EQ(echoes[0].channel, "CSMT");
    EXPECT_EQ(echoes[0].bytes, (TBytes{0x3F, 0xEE, 0x04}));
    EXPECT_TRUE(echoes[1].bytes.empty());
}

TEST_F(RuleEngine, ConnectionRulesApplyToTheirConnectionOnly) {
    scenario =
        std::make_shared<TScenario>(ParseScenario("connection 2 after connect close\nafter connect send CSML 01"));
    TRuleEngine first(scenario, once, 1);
    TRuleEngine second(scenario, once, 2);
    first.Fire(TTriggerKind::Connect, 0);
    second.Fire(TTriggerKind::Connect, 0);
    EXPECT_EQ(Kinds(first.TakeDue(0)), std::vector<TActionKind>{TActionKind::Send});
    EXPECT_EQ(Kinds(second.TakeDue(0)), (std::vector<TActionKind>{TActionKind::Close, TActionKind::Send}));
}

TEST_F(RuleEngine, OnceHoldsAcrossConnections) {
    scenario = std::make_shared<TScenario>(ParseScenario("once after connect send CSML 01\necho CSML"));
    TRuleEngine first(scenario, once, 1);
    TRuleEngine second(scenario, once, 2);
    first.Fire(TTriggerKind::Connect, 0);
    second.Fire(TTriggerKind::Connect, 0);
    EXPECT_EQ(first.TakeDue(0).size(), 1u);
    EXPECT_TRUE(second.TakeDue(0).empty());
    // Rules without "once" keep firing.
    second.Receive("CSML", {1}, 0);
    second.Receive("CSML", {2}, 0);
    EXPECT_EQ(second.TakeDue(0).size(), 2u);
}

TEST_F(RuleEngine, DropOnceIsSpentWhenItComesDueNotWhenScheduled) {
    scenario = std::make_shared<TScenario>(ParseScenario("after 300ms drop-once"));
    {
        // This connection ends before its drop comes due.
        TRuleEngine gone(scenario, once, 1);
        gone.Fire(TTriggerKind::Connect, 0);
        EXPECT_TRUE(gone.TakeDue(100).empty());
    }
    TRuleEngine second(scenario, once, 2);
    TRuleEngine third(scenario, once, 3);
    second.Fire(TTriggerKind::Connect, 1000);
    third.Fire(TTriggerKind::Connect, 1000);
    EXPECT_EQ(Kinds(second.TakeDue(1300)), std::vector<TActionKind>{TActionKind::Drop});
    EXPECT_TRUE(third.TakeDue(1300).empty());
    EXPECT_FALSE(third.HasPending());
}

}  // namespace
}  // namespace kiv::demo
