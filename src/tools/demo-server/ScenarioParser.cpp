#include "tools/demo-server/ScenarioParser.h"

#include <charconv>
#include <limits>
#include <optional>
#include <vector>

namespace kiv::demo {

namespace {

constexpr std::int64_t kLongestDelayMs = 3600 * 1000;

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::optional<std::int64_t> ParseDelay(std::string_view word) {
    std::int64_t scale = 0;
    std::string_view digits;
    if (word.size() > 2 && word.substr(word.size() - 2) == "ms") {
        scale = 1;
        digits = word.substr(0, word.size() - 2);
    } else if (word.size() > 1 && word.back() == 's') {
        scale = 1000;
        digits = word.substr(0, word.size() - 1);
    } else {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value < 0) return std::nullopt;
    if (value > kLongestDelayMs / scale) return std::nullopt;
    return value * scale;
}

bool IsHexWord(std::string_view word, bool wildcards) {
    if (word.empty() || word.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < word.size(); i += 2) {
        const std::string_view pair = word.substr(i, 2);
        if (wildcards && pair == "??") continue;
        if (!ParseHex(pair)) return false;
    }
    return true;
}

// Reads the words of one rule; throws TScenarioError with the rule's place.
class TRuleReader {
public:
    TRuleReader(std::vector<std::string_view> words, std::string where, TScenario& scenario)
        : words_(std::move(words)), where_(std::move(where)), scenario_(scenario) {}

    TRule Read() {
        TRule rule;
        rule.source = where_;
        rule.id = scenario_.nextId++;
        if (Peek() == "once") {
            Next();
            rule.once = true;
        }
        if (Peek() == "connection") {
            Next();
            rule.connection = ReadPositiveNumber("a connection number");
        }
        if (Peek() == "echo" && words_.size() - pos_ == 2) {
            Next();
            rule.trigger.kind = TTriggerKind::Receive;
            rule.trigger.channel = ReadChannel();
            rule.actions.push_back(MakeAction(TActionKind::Echo, 0));
            return rule;
        }
        if (Peek() == "stall" && words_.size() - pos_ == 1) {
            Next();
            rule.trigger.kind = TTriggerKind::Accept;
            rule.actions.push_back(MakeAction(TActionKind::Stall, 0));
            return rule;
        }
        std::int64_t offset = 0;
        if (Peek() == "after") {
            Next();
            ReadTrigger(rule.trigger, offset);
        }
        if (const auto delay = ParseDelay(Peek())) {
            Next();
            offset += *delay;
        }
        ReadActions(rule, offset);
        return rule;
    }

private:
    std::string_view Peek() const { return pos_ < words_.size() ? words_[pos_] : std::string_view(); }
    std::string_view Next() { return pos_ < words_.size() ? words_[pos_++] : std::string_view(); }
    bool AtEnd() const { return pos_ >= words_.size(); }

    [[noreturn]] void Fail(const std::string& message) const { throw TScenarioError(where_ + ": " + message); }

    std::string Quoted(std::string_view word) const {
        return word.empty() ? std::string("the end of the rule") : "'" + std::string(word) + "'";
    }

    int ReadPositiveNumber(const char* what) {
        const std::string_view word = Next();
        int value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (word.empty() || error != std::errc() || end != word.data() + word.size() || value < 1) {
            Fail(std::string("expected ") + what + ", found " + Quoted(word));
        }
        return value;
    }

    std::string ReadChannel() {
        const std::string_view word = Next();
        if (!IsDemoChannel(word)) Fail("expected a channel (CSML, CSMT or CSMP), found " + Quoted(word));
        return std::string(word);
    }

    void ReadTrigger(TTrigger& trigger, std::int64_t& offset) {
        const std::string_view word = Next();
        if (word == "accept") {
            trigger.kind = TTriggerKind::Accept;
        } else if (word == "logon") {
            trigger.kind = TTriggerKind::Logon;
        } else if (word == "connect") {
            trigger.kind = TTriggerKind::Connect;
        } else if (word == "recv") {
            trigger.kind = TTriggerKind::Receive;
            trigger.channel = ReadChannel();
            while (IsHexWord(Peek(), true)) {
                const std::string_view hex = Next();
                for (std::size_t i = 0; i < hex.size(); i += 2) {
                    const std::string_view pair = hex.substr(i, 2);
                    if (pair == "??") {
                        trigger.prefix.bytes.emplace_back(std::nullopt);
                    } else {
                        trigger.prefix.bytes.emplace_back((*ParseHex(pair))[0]);
                    }
                }
            }
        } else if (const auto delay = ParseDelay(word)) {
            trigger.kind = TTriggerKind::Connect;
            offset += *delay;
        } else {
            Fail("expected accept, logon, connect, recv or a delay after 'after', found " + Quoted(word));
        }
    }

    TAction MakeAction(TActionKind kind, std::int64_t offset) {
        TAction action;
        action.kind = kind;
        action.offsetMs = offset;
        action.id = scenario_.nextId++;
        return action;
    }

    void ReadActions(TRule& rule, std::int64_t offset) {
        bool ended = false;
        while (!AtEnd()) {
            const std::string_view word = Next();
            if (word == "wait") {
                const std::string_view value = Next();
                const auto delay = ParseDelay(value);
                if (!delay) Fail("expected a delay (like 200ms or 2s) after 'wait', found " + Quoted(value));
                offset += *delay;
                continue;
            }
            if (ended) Fail("nothing can follow '" + std::string(ActionName(rule.actions.back().kind)) + "'");
            TAction action = MakeAction(TActionKind::Send, offset);
            if (word == "send") {
                action.channel = ReadChannel();
                while (IsHexWord(Peek(), false)) {
                    const TBytes bytes = *ParseHex(Next());
                    action.bytes.insert(action.bytes.end(), bytes.begin(), bytes.end());
                }
                if (action.bytes.empty()) Fail("expected the hex bytes to send, found " + Quoted(Peek()));
            } else if (word == "echo") {
                action.kind = TActionKind::Echo;
            } else if (word == "error-info") {
                action.kind = TActionKind::ErrorInfo;
                action.code = ReadCode();
            } else if (word == "close") {
                action.kind = TActionKind::Close;
                ended = true;
            } else if (word == "drop") {
                action.kind = TActionKind::Drop;
                ended = true;
            } else if (word == "drop-once") {
                action.kind = TActionKind::Drop;
                action.once = true;
            } else if (word == "stall") {
                action.kind = TActionKind::Stall;
                ended = true;
            } else if (word == "reconnect-cookie") {
                action.kind = TActionKind::ReconnectCookie;
            } else {
                Fail("unknown action " + Quoted(word));
            }
            CheckAllowed(rule.trigger.kind, action.kind);
            rule.actions.push_back(std::move(action));
        }
        if (rule.actions.empty()) Fail("a rule needs at least one action");
    }

    std::uint32_t ReadCode() {
        const std::string_view word = Next();
        std::uint64_t value = 0;
        std::string_view digits = word;
        int base = 10;
        if (digits.size() > 2 && (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X")) {
            digits.remove_prefix(2);
            base = 16;
        }
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            value > std::numeric_limits<std::uint32_t>::max()) {
            Fail("expected an error-info code (decimal or 0x hex), found " + Quoted(word));
        }
        return static_cast<std::uint32_t>(value);
    }

    void CheckAllowed(TTriggerKind trigger, TActionKind action) const {
        const std::string name(ActionName(action));
        switch (trigger) {
            case TTriggerKind::Accept:
                if (action != TActionKind::Drop && action != TActionKind::Stall) {
                    Fail("'" + name + "' needs an RDP session; after accept only drop, drop-once and stall work");
                }
                break;
            case TTriggerKind::Logon:
                if (action == TActionKind::Send || action == TActionKind::Echo ||
                    action == TActionKind::ReconnectCookie || action == TActionKind::Stall) {
                    Fail("'" + name + "' cannot run at logon; use 'after connect'");
                }
                break;
            case TTriggerKind::Connect:
                if (action == TActionKind::Echo) Fail("'echo' answers a message; use 'after recv CHANNEL ... echo'");
                if (action == TActionKind::Stall) Fail("'stall' only works after accept");
                break;
            case TTriggerKind::Receive:
                if (action == TActionKind::Stall) Fail("'stall' only works after accept");
                break;
        }
    }

    std::vector<std::string_view> words_;
    std::size_t pos_ = 0;
    std::string where_;
    TScenario& scenario_;
};

}  // namespace

void ParseScenarioText(std::string_view text, std::string_view source, TScenario& scenario) {
    int lineNumber = 0;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        ++lineNumber;
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        std::size_t ruleStart = 0;
        while (ruleStart <= line.size()) {
            std::size_t ruleEnd = line.find(';', ruleStart);
            if (ruleEnd == std::string_view::npos) ruleEnd = line.size();
            auto words = SplitWords(line.substr(ruleStart, ruleEnd - ruleStart));
            if (!words.empty()) {
                TRuleReader reader(std::move(words), std::string(source) + " line " + std::to_string(lineNumber),
                                   scenario);
                scenario.rules.push_back(reader.Read());
            }
            ruleStart = ruleEnd + 1;
        }
        lineStart = lineEnd + 1;
    }
}

TScenario ParseScenario(std::string_view text) {
    TScenario scenario;
    ParseScenarioText(text, "scenario", scenario);
    return scenario;
}

}  // namespace kiv::demo
