#pragma once
// Reading a window update: the header, the title area, and where the icon and
// region parts lie. Every size is checked against len before a byte is read.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "channels/SmlMessages.h"

namespace kiv {

// The header of a message of at least kSmlHeaderSize bytes.
TSmlWindowMsg ReadSmlHeader(const uint8_t* buffer);

// The parts of an update whose sizes fit in len (38 + TitleSize + IconSize +
// RegionSize <= len, added without overflow); nullopt for a short or
// inconsistent message.
struct TSmlParts {
    TSmlWindowMsg header;
    std::span<const uint8_t> title;
    std::span<const uint8_t> icon;
    std::span<const uint8_t> region;
};
std::optional<TSmlParts> SplitSmlWindowMsg(const uint8_t* buffer, int32_t len);

// The title as the 522-byte zero-filled area holds it: at most 520 bytes of the
// part are taken (a longer title is cut), read as UTF-16LE up to the first zero
// unit; an odd last byte is the low half of a unit.
std::u16string ReadSmlTitle(std::span<const uint8_t> titlePart);

// For log lines: UTF-16 to UTF-8, unpaired surrogates as U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);
// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace kiv
