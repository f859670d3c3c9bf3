#pragma once
// Puts a virtual-channel message back together. The RDP transport cuts every
// channel message into chunks (1600 bytes by default); the first carries the
// FIRST flag, the last the LAST flag, and each one repeats the message's total
// length. The peer is not trusted: a total it announces is capped, a chunk that
// does not fit the message under way ends that message, and nothing is ever
// written past what was announced.
#include <cstddef>
#include <cstdint>
#include <span>

#include "ports/RemoteDesktopControl.h"

namespace kiv {

inline constexpr uint32_t kChannelChunkFirst = 0x01;
inline constexpr uint32_t kChannelChunkLast = 0x02;
// No message of the server shell comes anywhere near this; anything larger is refused
// without allocating for it.
inline constexpr std::size_t kMaxChannelMessageBytes = 16u * 1024u * 1024u;

enum class TChunkResult {
    Incomplete,  // kept; more chunks are needed
    Complete,    // TakeMessage() holds the whole message
    Dropped,     // this chunk (and the message it belonged to) was thrown away
};

class TChannelReassembler {
public:
    explicit TChannelReassembler(std::size_t maxMessageBytes = kMaxChannelMessageBytes);

    // One chunk as the transport delivers it: its bytes, the announced total length
    // of the whole message and the chunk flags (other bits than FIRST and LAST are
    // ignored).
    TChunkResult AddChunk(std::span<const uint8_t> chunk, uint64_t totalLength, uint32_t flags);

    // The completed message; empties the reassembler's copy.
    TBytes TakeMessage();

    // Forgets a message under way (the channel closed).
    void Reset();

    bool InProgress() const { return state_ == TState::Collecting; }

private:
    enum class TState { Idle, Collecting, Discarding, Done };

    TChunkResult Discard();

    std::size_t maxMessageBytes_;
    TState state_ = TState::Idle;
    uint64_t expected_ = 0;
    TBytes buffer_;
};

}  // namespace kiv
