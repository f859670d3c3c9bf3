#include "desktop/WideStringBuffer.h"

#include <cstring>

namespace kiv {

TWideStringBuffer TWideStringBuffer::FromBytes(std::span<const uint8_t> bytes) {
    TWideStringBuffer text;
    text.byteLength_ = bytes.size();
    // Prefix, the bytes, a zero unit (and a pad byte for an odd length), rounded up to words.
    text.storage_.assign((4 + bytes.size() + 3 + 3) / 4, 0u);
    auto* raw = reinterpret_cast<uint8_t*>(text.storage_.data());
    const uint32_t length = static_cast<uint32_t>(bytes.size());
    std::memcpy(raw, &length, 4);
    if (!bytes.empty()) std::memcpy(raw + 4, bytes.data(), bytes.size());
    return text;
}

TWideStringBuffer TWideStringBuffer::FromAscii(std::string_view text) {
    std::vector<uint8_t> units;
    units.reserve(text.size() * 2);
    for (char c : text) {
        units.push_back(static_cast<uint8_t>(c));
        units.push_back(0);
    }
    return FromBytes(units);
}

TFolderWideString TWideStringBuffer::Get() const {
    return reinterpret_cast<const char16_t*>(reinterpret_cast<const uint8_t*>(storage_.data()) + 4);
}

std::optional<std::vector<uint8_t>> FolderWideStringBytes(TFolderWideString text) {
    if (text == nullptr) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    uint32_t length = 0;
    std::memcpy(&length, bytes - 4, 4);
    if (length > kFolderMaxBytes) return std::nullopt;
    return std::vector<uint8_t>(bytes, bytes + length);
}

std::optional<std::string> FolderWideStringAscii(TFolderWideString text) {
    const auto bytes = FolderWideStringBytes(text);
    if (!bytes) return std::nullopt;
    std::string ascii;
    for (std::size_t i = 0; i + 1 < bytes->size(); i += 2) {
        const uint16_t unit = static_cast<uint16_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
        ascii += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return ascii;
}

}  // namespace kiv
