#include "infra/TextFormat.h"

#include <limits>
#include <optional>
#include <vector>

namespace kiv {

namespace {

// One directive: "%" [ "-" ] [ width ] [ "." precision ] type.
struct TDirective {
    bool leftAlign = false;
    std::size_t width = 0;
    std::optional<std::size_t> precision;
    char type = 0;            // upper-cased: S, D, U, X
    bool upperHex = false;    // "%X" rather than "%x"
    std::size_t length = 0;   // characters the directive takes in the format
};

// Widths beyond this are taken as written but not honoured, so a hostile
// language file cannot make one line of megabytes.
constexpr std::size_t kMaxFieldWidth = 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t ReadNumber(std::string_view text, std::size_t& i) {
    std::size_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (value <= kMaxFieldWidth) value = value * 10 + static_cast<std::size_t>(text[i] - '0');
        ++i;
    }
    return value > kMaxFieldWidth ? kMaxFieldWidth : value;
}

// The directive starting at format[start] (a "%"), or nullopt when it is not one.
std::optional<TDirective> ParseDirective(std::string_view format, std::size_t start) {
    TDirective d;
    std::size_t i = start + 1;
    if (i < format.size() && format[i] == '-') {
        d.leftAlign = true;
        ++i;
    }
    d.width = ReadNumber(format, i);
    if (i < format.size() && format[i] == '.') {
        ++i;
        d.precision = ReadNumber(format, i);
    }
    if (i >= format.size()) return std::nullopt;
    const char type = format[i];
    switch (type) {
        case 's': case 'S': d.type = 'S'; break;
        case 'd': case 'D': d.type = 'D'; break;
        case 'u': case 'U': d.type = 'U'; break;
        case 'x': d.type = 'X'; break;
        case 'X': d.type = 'X'; d.upperHex = true; break;
        default: return std::nullopt;
    }
    d.length = i + 1 - start;
    return d;
}

std::string Decimal(uint64_t magnitude) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return digits;
}

std::string Hex(uint64_t value, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return out;
}

// Unsigned and hex forms show a negative 32-bit value as its 32-bit pattern
// (the numbers formatted here are the 32-bit numbers of records and messages).
uint64_t AsUnsigned(int64_t value) {
    if (value < 0 && value >= std::numeric_limits<int32_t>::min())
        return static_cast<uint32_t>(static_cast<int32_t>(value));
    return static_cast<uint64_t>(value);
}

// The precision of a number is its least count of digits, zero-filled.
std::string WithLeastDigits(std::string digits, std::size_t leastDigits) {
    if (digits.size() < leastDigits) digits.insert(0, leastDigits - digits.size(), '0');
    return digits;
}

std::string FormatInteger(const TDirective& d, int64_t value) {
    const std::size_t leastDigits = d.precision.value_or(0);
    if (d.type == 'U') return WithLeastDigits(Decimal(AsUnsigned(value)), leastDigits);
    if (d.type == 'X') return WithLeastDigits(Hex(AsUnsigned(value), d.upperHex), leastDigits);
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    // A number where a text was asked for is shown in decimal, whole.
    return (value < 0 ? "-" : "") + WithLeastDigits(Decimal(magnitude), d.type == 'D' ? leastDigits : 0);
}

std::string FormatArgument(const TDirective& d, const TFormatArg& arg) {
    std::string text;
    if (const auto* s = std::get_if<std::string_view>(&arg)) {
        // A text where a number was asked for is shown as it is.
        text = std::string(*s);
        if (d.type == 'S' && d.precision && text.size() > *d.precision) text.resize(*d.precision);
    } else {
        text = FormatInteger(d, std::get<int64_t>(arg));
    }
    if (text.size() < d.width) {
        const std::string pad(d.width - text.size(), ' ');
        text = d.leftAlign ? text + pad : pad + text;
    }
    return text;
}

}  // namespace

std::string Format(std::string_view format, std::initializer_list<TFormatArg> args) {
    const std::vector<TFormatArg> arguments(args);
    std::size_t next = 0;
    std::string out;
    out.reserve(format.size());
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        const std::optional<TDirective> directive = ParseDirective(format, i);
        if (!directive) {
            out += c;  // not a directive: the "%" and what follows stay as written
            ++i;
            continue;
        }
        if (next < arguments.size()) out += FormatArgument(*directive, arguments[next]);
        ++next;
        i += directive->length;
    }
    return out;
}

}  // namespace kiv
