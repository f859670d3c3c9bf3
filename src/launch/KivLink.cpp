#include "launch/KivLink.h"

#include "infra/TextRules.h"
#include "launch/CredentialCodec.h"

namespace kiv {

namespace {
constexpr std::string_view kLinkScheme = "KIV://";
constexpr std::string_view kNotALinkText = "Is not KIV protocol\r\neg:KIV://xxxx";
}  // namespace

bool ParseLink(std::string_view text, std::string& result) {
    if (text.size() < kLinkScheme.size() || UpperAscii(text.substr(0, kLinkScheme.size())) != kLinkScheme) {
        result = kNotALinkText;
        return false;
    }
    std::string_view payload = text.substr(kLinkScheme.size());
    // Browsers hand a link over with a "/" after it.
    if (!payload.empty() && payload.back() == '/') payload.remove_suffix(1);
    result = DescrambleLink(Base64Decode(HexToText(payload)));
    return true;
}

std::string DescrambleLink(std::string_view bytes) {
    std::string out(bytes.size(), '\0');
    uint32_t key = kLinkStartKey;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ static_cast<uint8_t>(key & 0xFF));
        key += kLinkKeyIncrement;  // unsigned: wraps modulo 2^32
    }
    return out;
}

std::string MakeLink(std::string_view address) {
    // The XOR stream is its own inverse, so descrambling also scrambles.
    return std::string(kLinkScheme) + TextToHex(Base64Encode(DescrambleLink(address)));
}

}  // namespace kiv
