#include "desktop/HandOverRecord.h"

#include <algorithm>

#include "channels/ByteOrder.h"

namespace kiv {

namespace {

constexpr std::size_t kTextField = 256;

void PutText(std::vector<uint8_t>& out, std::size_t offset, std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kTextField - 1);
    out[offset] = static_cast<uint8_t>(n);
    std::copy_n(text.begin(), n, out.begin() + static_cast<long>(offset) + 1);
}

std::string GetText(const uint8_t* data, std::size_t offset) {
    const std::size_t n = data[offset];  // at most 255: always inside the field
    return std::string(reinterpret_cast<const char*>(data + offset + 1), n);
}

}  // namespace

std::vector<uint8_t> THandOverRecord::Encode() const {
    std::vector<uint8_t> out(kSize, 0);
    PutText(out, 0, AppID);
    PutText(out, kTextField, AppParam);
    WriteI32(&out[512], out[0]);
    return out;
}

std::optional<THandOverRecord> THandOverRecord::Decode(const uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kSize) return std::nullopt;
    return THandOverRecord{GetText(data, 0), GetText(data, kTextField)};
}

}  // namespace kiv
