#include "infra/StatusWindowMessage.h"

namespace kiv {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetU32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0] | (in[1] << 8) | (in[2] << 16)) | (uint32_t{in[3]} << 24);
}

}  // namespace

std::vector<uint8_t> TStatusWindowMessage::Encode() const {
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + payload.size());
    PutU32(out, kind);
    PutU32(out, wParam);
    PutU32(out, lParam);
    PutU32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::optional<TStatusWindowMessage> TStatusWindowMessage::Decode(std::span<const uint8_t> datagram) {
    if (datagram.size() < kHeaderSize) return std::nullopt;
    const uint32_t size = GetU32(datagram.data() + 12);
    if (size > kMaxPayload || datagram.size() != kHeaderSize + size) return std::nullopt;
    TStatusWindowMessage message;
    message.kind = GetU32(datagram.data());
    message.wParam = GetU32(datagram.data() + 4);
    message.lParam = GetU32(datagram.data() + 8);
    message.payload.assign(datagram.begin() + kHeaderSize, datagram.end());
    return message;
}

}  // namespace kiv
