#include "tools/demo-server/RuleEngine.h"

#include <algorithm>

namespace kiv::demo {

bool TOnceRegistry::Claim(int id) {
    std::lock_guard lock(mutex_);
    return claimed_.insert(id).second;
}

TRuleEngine::TRuleEngine(std::shared_ptr<const TScenario> scenario, std::shared_ptr<TOnceRegistry> once,
                         int connectionNumber)
    : scenario_(std::move(scenario)), once_(std::move(once)), connectionNumber_(connectionNumber) {}

bool TRuleEngine::Applies(const TRule& rule) const { return !rule.connection || *rule.connection == connectionNumber_; }

void TRuleEngine::Fire(TTriggerKind kind, std::int64_t nowMs) {
    for (const TRule& rule : scenario_->rules) {
        if (rule.trigger.kind != kind || !Applies(rule)) continue;
        if (rule.once && !once_->Claim(rule.id)) continue;
        Schedule(rule, nowMs, {}, {});
    }
}

void TRuleEngine::Receive(const std::string& channel, const TBytes& message, std::int64_t nowMs) {
    for (const TRule& rule : scenario_->rules) {
        if (rule.trigger.kind != TTriggerKind::Receive || rule.trigger.channel != channel || !Applies(rule)) continue;
        if (!rule.trigger.prefix.Matches(message)) continue;
        if (rule.once && !once_->Claim(rule.id)) continue;
        Schedule(rule, nowMs, channel, message);
    }
}

void TRuleEngine::Schedule(const TRule& rule, std::int64_t nowMs, const std::string& channel, const TBytes& message) {
    for (const TAction& action : rule.actions) {
        TPending item{nowMs + action.offsetMs, nextOrder_++, &action, channel, message};
        const auto place = std::upper_bound(pending_.begin(), pending_.end(), item, [](const auto& a, const auto& b) {
            return a.dueMs != b.dueMs ? a.dueMs < b.dueMs : a.order < b.order;
        });
        pending_.insert(place, std::move(item));
    }
}

std::vector<TDueAction> TRuleEngine::TakeDue(std::int64_t nowMs) {
    std::vector<TDueAction> due;
    std::size_t taken = 0;
    while (taken < pending_.size() && pending_[taken].dueMs <= nowMs) {
        TPending& item = pending_[taken++];
        const TAction& action = *item.action;
        if (action.once && !once_->Claim(action.id)) continue;
        TDueAction out;
        out.kind = action.kind;
        out.code = action.code;
        if (action.kind == TActionKind::Echo) {
            out.kind = TActionKind::Send;
            out.channel = std::move(item.channel);
            out.bytes = std::move(item.message);
        } else {
            out.channel = action.channel;
            out.bytes = action.bytes;
        }
        due.push_back(std::move(out));
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
    return due;
}

std::optional<std::int64_t> TRuleEngine::NextDueMs() const {
    if (pending_.empty()) return std::nullopt;
    return pending_.front().dueMs;
}

}  // namespace kiv::demo
