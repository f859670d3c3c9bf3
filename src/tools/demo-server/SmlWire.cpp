#include "tools/demo-server/SmlWire.h"

#include <algorithm>
#include <climits>

#include "channels/ByteOrder.h"
#include "channels/MsgBase.h"
#include "channels/SmlMessages.h"
#include "channels/SmlRegionBlock.h"

namespace kiv::demo {

namespace {

void Append32(TBytes& out, std::uint32_t v) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    WriteU32(out.data() + at, v);
}

TBytes RegionBlock(const std::vector<TWindowRect>& rects) {
    TBytes block;
    if (rects.empty()) return block;
    TWindowRect bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const TWindowRect& r : rects) {
        bounds.left = std::min(bounds.left, r.left);
        bounds.top = std::min(bounds.top, r.top);
        bounds.right = std::max(bounds.right, r.right);
        bounds.bottom = std::max(bounds.bottom, r.bottom);
    }
    Append32(block, static_cast<std::uint32_t>(kSmlRegionHeaderSize));
    Append32(block, 1);  // rectangles
    Append32(block, static_cast<std::uint32_t>(rects.size()));
    Append32(block, static_cast<std::uint32_t>(rects.size() * kSmlRegionRectSize));
    for (int v : {bounds.left, bounds.top, bounds.right, bounds.bottom}) Append32(block, static_cast<std::uint32_t>(v));
    for (const TWindowRect& r : rects)
        for (int v : {r.left, r.top, r.right, r.bottom}) Append32(block, static_cast<std::uint32_t>(v));
    return block;
}

std::int16_t Edge(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

}  // namespace

TBytes BuildWindowUpdate(const TWindowUpdate& update) {
    const TBytes region = RegionBlock(update.region);
    const std::size_t titleBytes = update.title.size() * 2;
    TBytes out(kSmlHeaderSize, 0);
    std::copy(kSmlSignature.begin(), kSmlSignature.end(), out.begin());
    const auto handle = static_cast<std::uint64_t>(update.handle);
    for (int i = 0; i < 8; ++i) out[kSmlServerHandleOffset + i] = static_cast<std::uint8_t>(handle >> (8 * i));
    WriteU16(out.data() + kSmlFlagsOffset, update.flags);
    out[kSmlInTaskbarOffset] = update.inTaskbar ? 1 : 0;
    WriteU32(out.data() + kSmlIconSizeOffset, static_cast<std::uint32_t>(update.icon.size()));
    WriteU32(out.data() + kSmlRegionSizeOffset, static_cast<std::uint32_t>(region.size()));
    WriteU32(out.data() + kSmlStyleOffset, update.style);
    WriteI16(out.data() + kSmlLeftOffset, Edge(update.rect.left));
    WriteI16(out.data() + kSmlTopOffset, Edge(update.rect.top));
    WriteI16(out.data() + kSmlRightOffset, Edge(update.rect.right));
    WriteI16(out.data() + kSmlBottomOffset, Edge(update.rect.bottom));
    WriteU32(out.data() + kSmlTitleSizeOffset, static_cast<std::uint32_t>(titleBytes));
    for (char16_t unit : update.title) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    out.insert(out.end(), update.icon.begin(), update.icon.end());
    out.insert(out.end(), region.begin(), region.end());
    return out;
}

std::optional<TWindowCommand> ReadWindowCommand(const TBytes& message) {
    if (message.size() < static_cast<std::size_t>(kSmlClientMsgSize)) return std::nullopt;
    if (!std::equal(kSmlSignature.begin(), kSmlSignature.end(), message.begin())) return std::nullopt;
    TWindowCommand out;
    std::uint64_t handle = 0;
    for (int i = 7; i >= 0; --i) handle = (handle << 8) | message[kSmlServerHandleOffset + i];
    out.handle = static_cast<std::int64_t>(handle);
    out.command = ReadU16(message.data() + kSmlCommandOffset);
    out.data = ReadU32(message.data() + kSmlDataOffset);
    out.dataBytes.assign(message.begin() + kSmlDataOffset, message.begin() + kSmlDataOffset + 8);
    return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0xFFFD;
        std::size_t length = 1;
        if (c < 0x80) {
            code = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
            code = ((c & 0x1Fu) << 6) | (text[i + 1] & 0x3Fu);
            length = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
            code = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            length = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < text.size()) {
            code = ((c & 0x07u) << 18) | ((text[i + 1] & 0x3Fu) << 12) | ((text[i + 2] & 0x3Fu) << 6) |
                   (text[i + 3] & 0x3Fu);
            length = 4;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

}  // namespace kiv::demo
