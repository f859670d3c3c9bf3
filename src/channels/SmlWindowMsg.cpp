#include "channels/SmlWindowMsg.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "channels/ByteOrder.h"

namespace kiv {

namespace {

int64_t ReadI64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    return static_cast<int64_t>(v);
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

TSmlWindowMsg ReadSmlHeader(const uint8_t* buffer) {
    TSmlWindowMsg h;
    h.ServerHandle = ReadI64(buffer + kSmlServerHandleOffset);
    h.Flags = ReadU16(buffer + kSmlFlagsOffset);
    h.InTaskbar = buffer[kSmlInTaskbarOffset];
    h.IconSize = ReadU32(buffer + kSmlIconSizeOffset);
    h.RegionSize = ReadU32(buffer + kSmlRegionSizeOffset);
    h.Style = ReadI32(buffer + kSmlStyleOffset);
    h.Left = ReadI16(buffer + kSmlLeftOffset);
    h.Top = ReadI16(buffer + kSmlTopOffset);
    h.Right = ReadI16(buffer + kSmlRightOffset);
    h.Bottom = ReadI16(buffer + kSmlBottomOffset);
    h.TitleSize = ReadU32(buffer + kSmlTitleSizeOffset);
    return h;
}

std::optional<TSmlParts> SplitSmlWindowMsg(const uint8_t* buffer, int32_t len) {
    if (buffer == nullptr || len < kSmlHeaderSize) return std::nullopt;
    TSmlParts parts;
    parts.header = ReadSmlHeader(buffer);
    const TSmlWindowMsg& h = parts.header;
    // Three 32-bit sizes and the header cannot overflow 64 bits.
    const uint64_t total = uint64_t{kSmlHeaderSize} + h.TitleSize + h.IconSize + h.RegionSize;
    if (total > static_cast<uint64_t>(len)) return std::nullopt;
    const uint8_t* at = buffer + kSmlHeaderSize;
    parts.title = {at, h.TitleSize};
    at += h.TitleSize;
    parts.icon = {at, h.IconSize};
    at += h.IconSize;
    parts.region = {at, h.RegionSize};
    return parts;
}

std::u16string ReadSmlTitle(std::span<const uint8_t> titlePart) {
    std::array<uint8_t, kSmlTitleAreaSize> area{};
    if (!titlePart.empty())
        std::memcpy(area.data(), titlePart.data(), std::min<std::size_t>(titlePart.size(), kSmlTitleMaxBytes));
    std::u16string title;
    for (std::size_t i = 0; i + 1 < area.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(area[i] | (area[i + 1] << 8));
        if (unit == 0) break;
        title += unit;
    }
    return title;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const uint32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        uint32_t code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        bool valid = length != 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace kiv
