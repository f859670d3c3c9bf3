#pragma once
// What a test tells the demo server to do: rules of the form "when this
// happens on a connection, do these things, each after its own delay".
// The parser builds it (ScenarioParser.h); the rule engine runs it per
// connection (RuleEngine.h).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-server/HexBytes.h"

namespace kiv::demo {

// The static channels the server opens when the client joined them.
inline constexpr std::array<std::string_view, 3> kDemoChannels{"CSML", "CSMT", "CSMP"};
bool IsDemoChannel(std::string_view name);

enum class TTriggerKind {
    Accept,   // the TCP connection was accepted; nothing has been answered yet
    Logon,    // the client's logon information arrived, before the capability exchange
    Connect,  // the session is active: desktop painted, channels open
    Receive,  // a complete message arrived on a channel
};

// A prefix of a received message; a byte without a value matches any byte.
struct TBytePattern {
    std::vector<std::optional<std::uint8_t>> bytes;
    bool Matches(const TBytes& message) const;
};

struct TTrigger {
    TTriggerKind kind = TTriggerKind::Connect;
    std::string channel;  // Receive only
    TBytePattern prefix;  // Receive only; empty matches every message
};

enum class TActionKind {
    Send,             // send `bytes` on `channel`
    Echo,             // send the message that fired the rule back on its channel
    ErrorInfo,        // remember `code` as the error info that goes out with the next close
    Close,            // clean close: deactivate, error info when set, disconnect ultimatum
    Drop,             // abrupt end of the TCP connection, no PDU
    Stall,            // never answer again, until the client goes
    ReconnectCookie,  // Save Session Info with an auto-reconnect cookie
};

struct TAction {
    TActionKind kind = TActionKind::Send;
    std::string channel;
    TBytes bytes;
    std::uint32_t code = 0;
    bool once = false;          // runs the first time it comes due in the server's life only ("drop-once")
    std::int64_t offsetMs = 0;  // after the trigger
    int id = 0;                 // unique within the scenario, for "once"
};

struct TRule {
    TTrigger trigger;
    bool once = false;              // fires at most once in the server's life
    std::optional<int> connection;  // only on the N-th accepted connection (1-based)
    std::vector<TAction> actions;   // in the order written; offsets never decrease
    int id = 0;                     // unique within the scenario, for "once"
    std::string source;             // where it was written, for messages
};

struct TScenario {
    std::vector<TRule> rules;
    int nextId = 0;  // ids handed out so far (rules and actions share the range)
};

std::string_view ActionName(TActionKind kind);
std::string_view TriggerName(TTriggerKind kind);

}  // namespace kiv::demo
