// Any bytes as a hand-over record from another launch: every 516 bytes decode
// into texts that stay inside their fields, and what decodes encodes back to a
// record that decodes the same.
#include <cstddef>
#include <cstdint>

#include "desktop/HandOverRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto record = kiv::THandOverRecord::Decode(data, size);
    if (!record) {
        if (size >= kiv::THandOverRecord::kSize) __builtin_trap();
        return 0;
    }
    if (record->AppID.size() > 255 || record->AppParam.size() > 255) __builtin_trap();
    const auto bytes = record->Encode();
    if (bytes.size() != kiv::THandOverRecord::kSize) __builtin_trap();
    const auto again = kiv::THandOverRecord::Decode(bytes.data(), bytes.size());
    if (!again || again->AppID != record->AppID || again->AppParam != record->AppParam) __builtin_trap();
    return 0;
}
