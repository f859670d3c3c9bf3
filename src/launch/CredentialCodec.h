#pragma once
// The encodings in which connection files and links carry credentials and the
// shell path: hex, base64 and a scrambling XOR stream. The client only decodes;
// the encoders exist for the diagnostics tool (what a portal writes).
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The scrambling constants shared with the portal that writes connection files.
constexpr uint16_t kCipherStartKey = 8326;
constexpr uint16_t kCipherMultiplier = 8617;
constexpr uint16_t kCipherIncrement = 9666;

enum class TCipherDirection { Decipher, Encipher };

// Pairs of hex digits, one byte a pair, up to the first pair that is not two hex
// digits; the result ends at the first zero byte.
std::string HexToText(std::string_view text);
std::string TextToHex(std::string_view bytes);  // upper-case pairs

// Standard base64; up to two trailing "=" may be present or absent. Characters
// outside the alphabet are skipped.
std::string Base64Decode(std::string_view text);
std::string Base64Encode(std::string_view bytes);  // with "=" padding

std::string DecipherText(std::string_view text, uint16_t startKey, TCipherDirection direction);

// HexToText, then Base64Decode, then DecipherText with the start key, deciphering.
std::string DecodeCredential(std::string_view text);
// What a portal stores: hex of base64 of the enciphered text.
std::string EncodeCredential(std::string_view text);
// Whether a logon field can be in the stored form: empty, or an even number of
// hex digits. Plain text ("ann", "corp\\ann") almost never is.
bool LooksLikeStoredCredential(std::string_view text);
// What a portal stores for KivShellPath: base64 of the enciphered text.
std::string EncodeShellPath(std::string_view text);

}  // namespace kiv
