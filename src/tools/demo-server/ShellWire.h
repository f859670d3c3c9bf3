#pragma once
// The shell family as the server shell speaks it: its own messages (type and
// two numbers) and what it reads of the client's (Name, Value, Text).
#include <cstdint>
#include <optional>
#include <string>

#include "tools/demo-server/HexBytes.h"
#include "tools/demo-server/SmlWire.h"

namespace kiv::demo {

// Server messages: signature, Type, Param1, Param2, zero padding. The client
// drops anything under 17 bytes of len, so 18 bytes always get through.
inline constexpr std::size_t kServerShellMessageSize = 18;

TBytes ServerShellMessage(std::uint16_t type, std::int32_t param1 = 0, std::int32_t param2 = 0);
// SHELL_RECONNECT_POLICY: enabled at offset 5, the limit in seconds at 7 (16 bits each).
TBytes ReconnectPolicyMessage(bool enabled, int limitSeconds);

// SHELL_CARET: left, top, right, bottom (16 bits each) at 5, the flags at 13
// (0x20: a password field).
TBytes CaretMessage(const TWindowRect& caret, std::uint32_t flags);
// The custom family (03 EF 05): CustomType and a zero-terminated text, 1031 bytes.
TBytes CustomMessage(std::int32_t type, const std::string& text);
// The text of a client's SHELL_IME_TEXT: Value bytes from offset 21, as many as the message holds.
std::string ImeTextBytes(const TBytes& message);

// A client message of the standard body. Text runs from offset 21 to its zero
// (or the end of the message); Value2 is the same four bytes read as a number
// (0 when the message is shorter).
struct TClientShellMessage {
    std::uint16_t type = 0;
    std::string name;
    std::int32_t value = 0;
    std::int32_t value2 = 0;
    std::string text;
};
// nullopt for anything that is not a shell message of at least 17 bytes.
std::optional<TClientShellMessage> ReadClientShellMessage(const TBytes& message);

}  // namespace kiv::demo
