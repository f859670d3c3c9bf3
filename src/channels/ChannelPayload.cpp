#include "channels/ChannelPayload.h"

#include <algorithm>

namespace kiv {

std::size_t WrappedSize(std::size_t messageBytes) { return (messageBytes / 2 + 1) * 2; }

TBytes WrapForSending(std::span<const uint8_t> message) {
    TBytes wire(WrappedSize(message.size()), 0);
    std::copy(message.begin(), message.end(), wire.begin());
    // An odd-length message ends inside its last unit: the payload keeps that unit's
    // first byte and drops nothing but the terminator.
    if (message.size() % 2 == 1) wire.resize(message.size() + 1);
    return wire;
}

int32_t ReceivedLen(std::size_t payloadBytes) {
    return static_cast<int32_t>((std::min<std::size_t>(payloadBytes, INT32_MAX - 4) / 2 + 1) * 2);
}

TReceivedMessage UnwrapReceived(std::span<const uint8_t> payload) {
    TReceivedMessage message;
    message.len = ReceivedLen(payload.size());
    message.buffer.assign(static_cast<std::size_t>(message.len), 0);
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), message.buffer.size()),
                message.buffer.begin());
    return message;
}

}  // namespace kiv
