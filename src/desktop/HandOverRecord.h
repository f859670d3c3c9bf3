#pragma once
// The hand-over record: what a second launch of a shared session sends to the
// instance that already holds it. 516 bytes, little-endian: two length-prefixed
// texts of 256 bytes (AppID, AppParam) and the AppID's length again.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct THandOverRecord {
    static constexpr std::size_t kSize = 516;
    std::string AppID;     // system code page, at most 255 bytes
    std::string AppParam;  // system code page, at most 255 bytes

    std::vector<uint8_t> Encode() const;
    // nullopt for a record shorter than 516 bytes; a length byte can never
    // point past its 256-byte field, so any 516 bytes decode.
    static std::optional<THandOverRecord> Decode(const uint8_t* data, std::size_t size);
};

}  // namespace kiv
