#include "infra/CodePage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_map>

#include "infra/SystemLocale.h"

namespace kiv {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

class TConverter {
public:
    TConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~TConverter() {
        if (IsOpen()) iconv_close(cd_);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; at a sequence the converter refuses, badInput(rest)
    // says how many bytes to pass over (at least one) and what to write instead.
    template <typename BadInput>
    std::string Convert(std::string_view input, BadInput badInput) {
        std::string output;
        output.reserve(input.size() * 2);
        char* in = const_cast<char*>(input.data());  // iconv's signature; the input is never written
        std::size_t inLeft = input.size();
        char chunk[4096];
        while (inLeft > 0) {
            char* out = chunk;
            std::size_t outLeft = sizeof chunk;
            const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(chunk, static_cast<std::size_t>(out - chunk));
            if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
            // EILSEQ (invalid or unmappable) or EINVAL (cut short at the end).
            if (inLeft == 0) break;
            const auto [skip, replacement] = badInput(std::string_view(in, inLeft));
            const std::size_t passed = skip < inLeft ? skip : inLeft;
            output += replacement;
            in += passed;
            inLeft -= passed;
        }
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        iconv(cd_, nullptr, nullptr, &out, &outLeft);  // the closing shift sequence of stateful targets
        output.append(chunk, static_cast<std::size_t>(out - chunk));
        return output;
    }

private:
    iconv_t cd_;
};

// The length of the well-formed UTF-8 character at the start of text, or 0.
std::size_t Utf8CharacterLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    uint32_t code;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF) return 0;
    return length;
}

struct TBadInput {
    std::size_t skip;
    std::string_view replacement;
};

}  // namespace

const char* IconvNameOfCodePage(uint32_t codePage) {
    switch (codePage) {
        case 936: return "GBK";
        case 950: return "BIG5";
        case 1252: return "CP1252";
        case 65001: return "UTF-8";
        default: break;
    }
    // The names live as long as the process, so callers may keep the pointer.
    static std::mutex mutex;
    static std::unordered_map<uint32_t, std::string> names;
    const std::lock_guard<std::mutex> lock(mutex);
    auto [it, inserted] = names.try_emplace(codePage);
    if (inserted) it->second = "CP" + std::to_string(codePage);
    return it->second.c_str();
}

std::string CodePageToUtf8(std::string_view bytes, uint32_t codePage) {
    TConverter converter("UTF-8", IconvNameOfCodePage(codePage));
    if (!converter.IsOpen()) {
        // A code page this system cannot convert: only its ASCII half is known.
        std::string output;
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80)
                output += c;
            else
                output += kReplacementCharacter;
        }
        return output;
    }
    return converter.Convert(bytes, [](std::string_view) { return TBadInput{1, kReplacementCharacter}; });
}

std::string Utf8ToCodePage(std::string_view utf8, uint32_t codePage) {
    TConverter converter(IconvNameOfCodePage(codePage), "UTF-8");
    if (!converter.IsOpen()) {
        std::string output;
        for (std::size_t i = 0; i < utf8.size();) {
            const std::size_t length = Utf8CharacterLength(utf8.substr(i));
            output += length == 1 ? utf8[i] : '?';
            i += length == 0 ? 1 : length;
        }
        return output;
    }
    // A character the code page lacks is one "?"; so is each byte that is not UTF-8.
    return converter.Convert(utf8, [](std::string_view rest) {
        const std::size_t length = Utf8CharacterLength(rest);
        return TBadInput{length == 0 ? 1 : length, "?"};
    });
}

std::string Utf16ToCodePage(std::u16string_view text, uint32_t codePage) {
    static_assert(std::endian::native == std::endian::little);
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    TConverter converter(IconvNameOfCodePage(codePage), "UTF-16LE");
    if (!converter.IsOpen()) {
        std::string output;
        for (const char16_t unit : text) output += unit < 0x80 ? static_cast<char>(unit) : '?';
        return output;
    }
    // A character the code page lacks, or a lone surrogate, is one "?".
    return converter.Convert(bytes, [](std::string_view rest) {
        const auto unit = [&](std::size_t i) {
            return static_cast<char16_t>(static_cast<unsigned char>(rest[i]) | static_cast<unsigned char>(rest[i + 1]) << 8);
        };
        const bool pair = rest.size() >= 4 && unit(0) >= 0xD800 && unit(0) <= 0xDBFF && unit(2) >= 0xDC00 && unit(2) <= 0xDFFF;
        return TBadInput{pair ? 4u : 2u, "?"};
    });
}

std::string SystemToUtf8(std::string_view bytes) { return CodePageToUtf8(bytes, SystemCodePage()); }

std::string Utf8ToSystem(std::string_view utf8) { return Utf8ToCodePage(utf8, SystemCodePage()); }

}  // namespace kiv
