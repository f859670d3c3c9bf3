#include "session/FingerPrint.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "infra/IniImage.h"

namespace kiv {

namespace {

constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

// The shell reads the disk serial from a 20-byte field of the drive's identify data.
constexpr std::size_t kDiskSerialLength = 20;
// A computer name is read into 16 characters, the last one the terminating zero.
constexpr std::size_t kComputerNameLength = 15;
// The host name is read into 64 bytes; a longer one cannot be read at all.
constexpr std::size_t kHostNameLength = 63;
constexpr std::size_t kAdapterAddressLength = 6;

std::string Hex32(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%.8x", value);
    return text;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return std::string();
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += kLowerHex[digest[i] >> 4];
        text += kLowerHex[digest[i] & 0x0F];
    }
    return text;
}

std::string ShortDigest(std::string_view text) {
    const std::string hex = Md5Hex(text);
    std::string digest;
    for (std::size_t i = 0; i < hex.size(); i += 4)
        digest += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[i])));
    return digest;
}

std::string GetCpuIds(IMachineFacts& facts) {
    const auto processors = facts.CpuIdLeaf1PerProcessor();
    if (!processors) return std::string();
    std::vector<std::string> texts;
    texts.reserve(processors->size());
    for (const TCpuIdLeaf1& leaf : *processors)
        texts.push_back(Hex32(leaf.eax) + Hex32(leaf.ebx) + Hex32(leaf.ecx) + Hex32(leaf.edx));
    std::sort(texts.begin(), texts.end());
    // Two processors answering alike means the restriction did not move us: the
    // answers would not describe the machine.
    if (std::adjacent_find(texts.begin(), texts.end()) != texts.end()) return std::string();
    std::string part;
    for (const std::string& text : texts) part += text;
    return part;
}

std::string GetDiskSerial(IMachineFacts& facts) {
    std::string serial = facts.FirstDiskSerial();
    const std::size_t end = std::min(serial.find('\0'), kDiskSerialLength);
    if (end < serial.size()) serial.resize(end);
    return serial;
}

std::string GetMacAddress(IMachineFacts& facts) {
    std::string part;
    for (const auto& address : facts.AdapterAddresses()) {
        // An adapter without a full address did not answer; the last answer stays.
        if (!address || address->size() < kAdapterAddressLength) continue;
        part.clear();
        for (std::size_t i = 0; i < kAdapterAddressLength; ++i) {
            if (i > 0) part += '-';
            part += kUpperHex[(*address)[i] >> 4];
            part += kUpperHex[(*address)[i] & 0x0F];
        }
    }
    return part;
}

TVariantAParts ReadVariantAParts(IMachineFacts& facts) {
    TVariantAParts parts;
    parts.processor = GetCpuIds(facts);
    parts.disk = GetDiskSerial(facts);
    parts.network = GetMacAddress(facts);
    return parts;
}

std::string VariantAIdentifier(const TVariantAParts& parts) {
    return "A" + ShortDigest(parts.processor + parts.disk + parts.network);
}

std::optional<uint32_t> VolumeSerialFromId(std::string_view volumeId) {
    std::string digits;
    for (char c : volumeId) {
        if (c == '-') continue;
        if (HexDigitValue(c) < 0) return std::nullopt;
        digits += c;
    }
    if (digits.size() < 8) return std::nullopt;
    // A 64-bit serial is shown by its low 32 bits; FAT's "1234-ABCD" and the leading
    // group of a UUID are read as they are written.
    const std::string_view chosen =
        digits.size() == 16 ? std::string_view(digits).substr(8) : std::string_view(digits).substr(0, 8);
    uint32_t serial = 0;
    for (char c : chosen) serial = (serial << 4) | static_cast<uint32_t>(HexDigitValue(c));
    return serial;
}

std::string FormatVolumeSerial(uint32_t serial) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%X", serial);
    const std::string_view text(hex);
    return std::string(text.substr(0, 4)) + "-" + std::string(text.substr(std::min<std::size_t>(4, text.size()), 4));
}

std::string GetVolumeSerialText(IMachineFacts& facts) {
    return FormatVolumeSerial(VolumeSerialFromId(facts.SystemVolumeId()).value_or(0));
}

std::string VariantBIdentifier(std::string_view volumeSerialText) {
    return "B" + ShortDigest(volumeSerialText);
}

int32_t FingerPrintUse(const std::filesystem::path& localIni) {
    const auto ini = TIniImage::FromFile(localIni);
    return ini ? ini->ReadInteger("FingerPrints", "USE", 0) : 0;
}

std::string GetFingerPrint(IMachineFacts& facts, const std::filesystem::path& localIni) {
    if (FingerPrintUse(localIni) == 0) return VariantAIdentifier(ReadVariantAParts(facts));
    return VariantBIdentifier(GetVolumeSerialText(facts));
}

std::string GetComputerNameText(IMachineFacts& facts) {
    std::string name = facts.HostName();
    name.resize(std::min({name.find('.'), name.find('\0'), name.size()}));
    if (name.size() > kComputerNameLength) name.resize(kComputerNameLength);
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
}

std::string GetLocalIPs(IMachineFacts& facts) {
    const std::string name = facts.HostName();
    if (name.empty() || name.size() > kHostNameLength) return std::string();
    std::string joined;
    for (const TIPv4Address& address : facts.ResolveIPv4(name)) {
        if (!joined.empty()) joined += ',';
        joined += std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) +
                  "." + std::to_string(address[3]);
    }
    return joined;
}

}  // namespace kiv
