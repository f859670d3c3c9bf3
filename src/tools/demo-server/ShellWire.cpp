#include "tools/demo-server/ShellWire.h"

#include <algorithm>

#include "channels/ByteOrder.h"
#include "channels/MsgBase.h"
#include "channels/ShellMessages.h"

namespace kiv::demo {

namespace {

TBytes NewServerMessage(std::uint16_t type) {
    TBytes out(kServerShellMessageSize, 0);
    std::copy(kShellSignature.begin(), kShellSignature.end(), out.begin());
    WriteU16(out.data() + kShellTypeOffset, type);
    return out;
}

}  // namespace

TBytes ServerShellMessage(std::uint16_t type, std::int32_t param1, std::int32_t param2) {
    TBytes out = NewServerMessage(type);
    WriteI32(out.data() + 5, param1);
    WriteI32(out.data() + 9, param2);
    return out;
}

TBytes ReconnectPolicyMessage(bool enabled, int limitSeconds) {
    TBytes out = NewServerMessage(SHELL_RECONNECT_POLICY);
    WriteI16(out.data() + 5, static_cast<std::int16_t>(enabled ? 1 : 0));
    WriteI16(out.data() + 7, static_cast<std::int16_t>(std::clamp(limitSeconds, 0, 32767)));
    return out;
}

TBytes CaretMessage(const TWindowRect& caret, std::uint32_t flags) {
    TBytes out = NewServerMessage(SHELL_CARET);
    const auto clamp = [](int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); };
    WriteI16(out.data() + 5, clamp(caret.left));
    WriteI16(out.data() + 7, clamp(caret.top));
    WriteI16(out.data() + 9, clamp(caret.right));
    WriteI16(out.data() + 11, clamp(caret.bottom));
    WriteU32(out.data() + 13, flags);
    return out;
}

TBytes CustomMessage(std::int32_t type, const std::string& text) {
    constexpr std::size_t kTextOffset = 7, kTextSize = 1024;
    TBytes out(kTextOffset + kTextSize, 0);
    std::copy(kCustomSignature.begin(), kCustomSignature.end(), out.begin());
    WriteI32(out.data() + 3, type);
    std::copy_n(text.begin(), std::min(text.size(), kTextSize - 1), out.begin() + kTextOffset);
    return out;
}

std::string ImeTextBytes(const TBytes& message) {
    if (message.size() < static_cast<std::size_t>(kShellTextOffset)) return {};
    const std::int32_t value = ReadI32(message.data() + kShellValueOffset);
    const std::size_t room = message.size() - kShellTextOffset;
    const std::size_t length = value < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(value), room);
    return std::string(reinterpret_cast<const char*>(message.data() + kShellTextOffset), length);
}

std::optional<TClientShellMessage> ReadClientShellMessage(const TBytes& message) {
    if (message.size() < static_cast<std::size_t>(kShellMinimumLen)) return std::nullopt;
    if (!std::equal(kShellSignature.begin(), kShellSignature.end(), message.begin())) return std::nullopt;
    TClientShellMessage out;
    out.type = ReadU16(message.data() + kShellTypeOffset);
    const std::size_t nameEnd = std::min<std::size_t>(message.size(), kShellNameOffset + kShellNameSize);
    for (std::size_t i = kShellNameOffset; i < nameEnd && message[i] != 0; ++i) out.name += static_cast<char>(message[i]);
    if (message.size() >= static_cast<std::size_t>(kShellValueOffset + 4))
        out.value = ReadI32(message.data() + kShellValueOffset);
    if (message.size() >= static_cast<std::size_t>(kShellTextOffset + 4))
        out.value2 = ReadI32(message.data() + kShellTextOffset);
    // Text messages carry their length in Value, the application start its
    // first/again flag: the zero after the text is what both have in common.
    for (std::size_t i = kShellTextOffset; i < message.size() && message[i] != 0; ++i)
        out.text += static_cast<char>(message[i]);
    return out;
}

}  // namespace kiv::demo
