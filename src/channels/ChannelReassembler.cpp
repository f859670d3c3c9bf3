#include "channels/ChannelReassembler.h"

#include <algorithm>

namespace kiv {

TChannelReassembler::TChannelReassembler(std::size_t maxMessageBytes) : maxMessageBytes_(maxMessageBytes) {}

TChunkResult TChannelReassembler::Discard() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    expected_ = 0;
    state_ = TState::Discarding;
    return TChunkResult::Dropped;
}

TChunkResult TChannelReassembler::AddChunk(std::span<const uint8_t> chunk, uint64_t totalLength,
                                           uint32_t flags) {
    const bool first = (flags & kChannelChunkFirst) != 0;
    const bool last = (flags & kChannelChunkLast) != 0;

    if (first) {
        // A new message starts; whatever was under way is lost (the peer broke it off).
        buffer_.clear();
        expected_ = totalLength;
        if (totalLength == 0 || totalLength > maxMessageBytes_) {
            Discard();
            if (last) state_ = TState::Idle;
            return TChunkResult::Dropped;
        }
        state_ = TState::Collecting;
        // Only a little is reserved up front: the announced total is the peer's word.
        buffer_.reserve(static_cast<std::size_t>(std::min<uint64_t>(totalLength, 64 * 1024)));
    } else if (state_ != TState::Collecting) {
        // A middle or last chunk of a message we never started (or already refused).
        if (last) state_ = TState::Idle;
        return TChunkResult::Dropped;
    } else if (totalLength != expected_) {
        Discard();
        if (last) state_ = TState::Idle;
        return TChunkResult::Dropped;
    }

    if (chunk.size() > expected_ - buffer_.size()) {
        Discard();
        if (last) state_ = TState::Idle;
        return TChunkResult::Dropped;
    }
    buffer_.insert(buffer_.end(), chunk.begin(), chunk.end());

    if (!last) return TChunkResult::Incomplete;
    if (buffer_.size() != expected_) {
        // The message ended short of what it announced.
        Discard();
        state_ = TState::Idle;
        return TChunkResult::Dropped;
    }
    state_ = TState::Done;
    return TChunkResult::Complete;
}

TBytes TChannelReassembler::TakeMessage() {
    if (state_ != TState::Done) return {};
    TBytes message;
    message.swap(buffer_);
    expected_ = 0;
    state_ = TState::Idle;
    return message;
}

void TChannelReassembler::Reset() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    expected_ = 0;
    state_ = TState::Idle;
}

}  // namespace kiv
