#pragma once
// How a channel message travels. The control of the original design carried
// payloads as wide strings, and the server shell relies on the resulting sizes:
// a message of n bytes goes out as n div 2 + 1 zero-filled UTF-16 units (n + 2
// bytes for even n, n + 1 for odd n), and a received payload reaches its handler
// with len = (units + 1) x 2, the bytes past the payload being zero.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ports/RemoteDesktopControl.h"

namespace kiv {

// The wire payload for a message of n bytes.
TBytes WrapForSending(std::span<const uint8_t> message);
std::size_t WrappedSize(std::size_t messageBytes);

// A received payload as handlers see it: buffer holds at least len bytes, the
// payload followed by zeros.
struct TReceivedMessage {
    std::vector<uint8_t> buffer;
    int32_t len = 0;
};
TReceivedMessage UnwrapReceived(std::span<const uint8_t> payload);
int32_t ReceivedLen(std::size_t payloadBytes);

}  // namespace kiv
