// Any series of channel chunks: each record is a flags byte, a 16-bit
// little-endian announced total and a length byte, then that many bytes (fewer
// at the end of the input). The reassembler must never hand out a message other
// than the announced size, nor one above its cap.
#include <cstddef>
#include <cstdint>
#include <span>

#include "channels/ChannelReassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kCap = 1024;
    kiv::TChannelReassembler reassembler(kCap);
    size_t at = 0;
    while (at + 4 <= size) {
        const uint32_t flags = data[at];
        uint64_t total = data[at + 1] | (data[at + 2] << 8);
        if (flags & 0x80) total <<= 16;  // now and then a total far above the cap
        size_t length = data[at + 3];
        at += 4;
        if (length > size - at) length = size - at;
        const std::span<const uint8_t> chunk(data + at, length);
        at += length;
        const kiv::TChunkResult result = reassembler.AddChunk(chunk, total, flags);
        if (result == kiv::TChunkResult::Complete) {
            const kiv::TBytes message = reassembler.TakeMessage();
            if (message.size() != total || message.size() > kCap) __builtin_trap();
            volatile unsigned sum = 0;
            for (uint8_t b : message) sum = sum + b;
        }
        if (flags & 0x40) reassembler.Reset();
    }
    return 0;
}
