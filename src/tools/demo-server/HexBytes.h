#pragma once
// Byte strings as the demo server writes and reads them: upper-case hex with no
// separators in the transcript, hex words in scenarios.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::demo {

using TBytes = std::vector<std::uint8_t>;

std::string ToHex(const std::uint8_t* data, std::size_t size);
std::string ToHex(const TBytes& bytes);

// An even number of hex digits (either case), nothing else; nullopt otherwise.
std::optional<TBytes> ParseHex(std::string_view text);

}  // namespace kiv::demo
