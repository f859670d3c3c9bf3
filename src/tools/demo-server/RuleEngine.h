#pragma once
// Runs a scenario for one connection: events come in (accept, logon,
// connect, a received message), actions come out when they are due. It
// keeps no clock of its own: every call says what time it is, in
// milliseconds, so tests drive it without waiting.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/demo-server/Scenario.h"

namespace kiv::demo {

// What "once" remembers across the connections of one server run.
class TOnceRegistry {
public:
    // True the first time an id is claimed, false ever after.
    bool Claim(int id);

private:
    std::mutex mutex_;
    std::set<int> claimed_;
};

// An action that is due, with its channel and bytes filled in ("echo"
// becomes a send of the message that fired its rule).
struct TDueAction {
    TActionKind kind = TActionKind::Send;
    std::string channel;
    TBytes bytes;
    std::uint32_t code = 0;
};

class TRuleEngine {
public:
    TRuleEngine(std::shared_ptr<const TScenario> scenario, std::shared_ptr<TOnceRegistry> once, int connectionNumber);

    // Accept, logon or connect happened at `nowMs`.
    void Fire(TTriggerKind kind, std::int64_t nowMs);
    // A complete message arrived on `channel` at `nowMs`.
    void Receive(const std::string& channel, const TBytes& message, std::int64_t nowMs);

    // The actions due at `nowMs`, in the order they came due (ties: the order
    // they were scheduled in); they are removed from the schedule.
    std::vector<TDueAction> TakeDue(std::int64_t nowMs);
    std::optional<std::int64_t> NextDueMs() const;
    bool HasPending() const { return !pending_.empty(); }

private:
    struct TPending {
        std::int64_t dueMs;
        std::uint64_t order;
        const TAction* action;
        std::string channel;  // the channel of the message that fired the rule
        TBytes message;       // that message
    };

    bool Applies(const TRule& rule) const;
    void Schedule(const TRule& rule, std::int64_t nowMs, const std::string& channel, const TBytes& message);

    std::shared_ptr<const TScenario> scenario_;
    std::shared_ptr<TOnceRegistry> once_;
    int connectionNumber_;
    std::vector<TPending> pending_;  // sorted by (dueMs, order)
    std::uint64_t nextOrder_ = 0;
};

}  // namespace kiv::demo
