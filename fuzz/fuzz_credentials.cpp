// Any bytes as a credential field of a connection file: every decoder must take
// them without reading past them, and the encoders a portal uses must invert.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "launch/CredentialCodec.h"

namespace {

void CheckDecoders(std::string_view bytes) {
    const std::string hex = kiv::HexToText(bytes);
    if (hex.size() > bytes.size() / 2 || hex.find('\0') != std::string::npos) __builtin_trap();
    const std::string base64 = kiv::Base64Decode(bytes);
    if (base64.size() > bytes.size() / 4 * 3 + 2) __builtin_trap();
    (void)kiv::DecodeCredential(bytes);
}

void CheckRoundTrips(std::string_view bytes, uint16_t key) {
    using kiv::TCipherDirection;
    const std::string scrambled = kiv::DecipherText(bytes, key, TCipherDirection::Encipher);
    if (scrambled.size() != bytes.size()) __builtin_trap();
    if (kiv::DecipherText(scrambled, key, TCipherDirection::Decipher) != bytes) __builtin_trap();
    const std::string unscrambled = kiv::DecipherText(bytes, key, TCipherDirection::Decipher);
    if (kiv::DecipherText(unscrambled, key, TCipherDirection::Encipher) != bytes) __builtin_trap();

    if (kiv::Base64Decode(kiv::Base64Encode(bytes)) != bytes) __builtin_trap();
    if (kiv::DecodeCredential(kiv::EncodeCredential(bytes)) != bytes) __builtin_trap();
    const std::string hex = kiv::TextToHex(bytes);
    // Hex text ends at the first zero byte, so only the part before it comes back.
    if (kiv::HexToText(hex) != bytes.substr(0, bytes.find('\0'))) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckDecoders(bytes);
    // The first two bytes double as a start key, so keys other than the portal's are covered too.
    const uint16_t key = size >= 2 ? static_cast<uint16_t>(data[0] | (data[1] << 8)) : kiv::kCipherStartKey;
    CheckRoundTrips(bytes, kiv::kCipherStartKey);
    CheckRoundTrips(bytes, key);
    return 0;
}
