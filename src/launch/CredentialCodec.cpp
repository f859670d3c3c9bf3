#include "launch/CredentialCodec.h"

#include <cctype>

#include <array>

namespace kiv {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// -1 for every byte outside the alphabet ("=" included), so such bytes can be skipped.
constexpr std::array<int8_t, 256> MakeBase64Table() {
    std::array<int8_t, 256> table{};
    for (auto& entry : table) entry = -1;
    for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i)
        table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<int8_t>(i);
    return table;
}
constexpr std::array<int8_t, 256> kBase64Table = MakeBase64Table();

}  // namespace

std::string HexToText(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) break;
        const char byte = static_cast<char>((high << 4) | low);
        // Portals pad the field with zeros; the text ends at the first one.
        if (byte == '\0') break;
        out.push_back(byte);
    }
    return out;
}

std::string TextToHex(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(kUpperHexDigits[byte >> 4]);
        out.push_back(kUpperHexDigits[byte & 0x0F]);
    }
    return out;
}

std::string Base64Decode(std::string_view text) {
    // Up to two trailing pads; any other "=" is outside the alphabet and skipped below.
    for (int pads = 0; pads < 2 && !text.empty() && text.back() == '='; ++pads) text.remove_suffix(1);

    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    uint32_t group = 0;
    int sextets = 0;
    for (const char c : text) {
        const int value = kBase64Table[static_cast<unsigned char>(c)];
        if (value < 0) continue;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++sextets == 4) {
            out.push_back(static_cast<char>(group >> 16));
            out.push_back(static_cast<char>(group >> 8));
            out.push_back(static_cast<char>(group));
            group = 0;
            sextets = 0;
        }
    }
    // An unpadded tail: two sextets carry one byte, three carry two; one alone carries nothing.
    if (sextets == 2) {
        out.push_back(static_cast<char>(group >> 4));
    } else if (sextets == 3) {
        out.push_back(static_cast<char>(group >> 10));
        out.push_back(static_cast<char>(group >> 2));
    }
    return out;
}

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    auto byteAt = [&](std::size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
        out.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
        out.push_back(kBase64Alphabet[(group >> 6) & 0x3F]);
        out.push_back(kBase64Alphabet[group & 0x3F]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const uint32_t group = byteAt(i) << 16;
        out.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
        out += "==";
    } else if (rest == 2) {
        const uint32_t group = (byteAt(i) << 16) | (byteAt(i + 1) << 8);
        out.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
        out.push_back(kBase64Alphabet[(group >> 6) & 0x3F]);
        out.push_back('=');
    }
    return out;
}

std::string DecipherText(std::string_view text, uint16_t startKey, TCipherDirection direction) {
    std::string out(text.size(), '\0');
    uint16_t key = startKey;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto in = static_cast<uint8_t>(text[i]);
        const auto result = static_cast<uint8_t>(in ^ (key >> 8));
        out[i] = static_cast<char>(result);
        // The key feeds back the scrambled byte in both directions, so both sides stay in step.
        const uint8_t cipherByte = direction == TCipherDirection::Decipher ? in : result;
        key = static_cast<uint16_t>((cipherByte + key) * kCipherMultiplier + kCipherIncrement);
    }
    return out;
}

std::string DecodeCredential(std::string_view text) {
    return DecipherText(Base64Decode(HexToText(text)), kCipherStartKey, TCipherDirection::Decipher);
}

std::string EncodeCredential(std::string_view text) {
    return TextToHex(EncodeShellPath(text));
}

std::string EncodeShellPath(std::string_view text) {
    return Base64Encode(DecipherText(text, kCipherStartKey, TCipherDirection::Encipher));
}

bool LooksLikeStoredCredential(std::string_view text) {
    if (text.size() % 2 != 0) return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace kiv
