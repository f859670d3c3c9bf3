#include "infra/IniImage.h"

#include <fstream>
#include <iterator>
#include <limits>

#include "infra/TextRules.h"

namespace kiv {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t StrToIntDef(std::string_view text, int32_t defaultValue) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return defaultValue;
    // Hexadecimal values take the full 32 bits (FFFFFFFF is -1); decimal ones must fit.
    const uint64_t limit = hex ? 0xFFFFFFFFull
                               : (negative ? uint64_t{1} << 31 : uint64_t{std::numeric_limits<int32_t>::max()});
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return defaultValue;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (value > limit) return defaultValue;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint32_t signedBits = negative ? static_cast<uint32_t>(0u - bits) : bits;
    return static_cast<int32_t>(signedBits);
}

int32_t DecimalToIntDef(std::string_view text, int32_t defaultValue) {
    if (text.empty()) return defaultValue;
    for (char c : text)
        if (c < '0' || c > '9') return defaultValue;
    return StrToIntDef(text, defaultValue);
}

TIniImage TIniImage::FromText(std::string_view bytes) {
    TIniImage image;
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos <= bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = TrimBlanks(bytes.substr(pos, end - pos));
        // CR LF counts as one line end.
        pos = end + ((end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ? 2 : 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = LowerAscii(TrimBlanks(line.substr(1, line.size() - 2)));
            current = &image.sections_[name];
            *current = Section{};  // a later section of the same name replaces the earlier one
            continue;
        }
        const std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) continue;
        current->Set(LowerAscii(TrimBlanks(line.substr(0, eq))), std::string(TrimBlanks(line.substr(eq + 1))));
    }
    return image;
}

std::optional<TIniImage> TIniImage::FromFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return FromText(bytes);
}

void TIniImage::Section::Set(std::string key, std::string value) {
    const auto [at, inserted] = index.try_emplace(key, entries.size());
    if (inserted)
        entries.emplace_back(std::move(key), std::move(value));
    else
        entries[at->second].second = std::move(value);
}

const std::string* TIniImage::FindValue(std::string_view section, std::string_view key) const {
    const auto s = sections_.find(LowerAscii(section));
    if (s == sections_.end()) return nullptr;
    const auto k = s->second.index.find(LowerAscii(key));
    return k == s->second.index.end() ? nullptr : &s->second.entries[k->second].second;
}

std::string TIniImage::ReadString(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
    const std::string* value = FindValue(section, key);
    return value ? *value : std::string(defaultValue);
}

int32_t TIniImage::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    return StrToIntDef(ReadString(section, key, ""), defaultValue);
}

bool TIniImage::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniImage::SectionExists(std::string_view section) const {
    return sections_.count(LowerAscii(section)) != 0;
}

bool TIniImage::ValueExists(std::string_view section, std::string_view key) const {
    return FindValue(section, key) != nullptr;
}

std::size_t TIniImage::KeyCount(std::string_view section) const {
    const auto s = sections_.find(LowerAscii(section));
    return s == sections_.end() ? 0 : s->second.entries.size();
}

std::vector<std::pair<std::string, std::string>> TIniImage::Entries(std::string_view section) const {
    const auto s = sections_.find(LowerAscii(section));
    if (s == sections_.end()) return {};
    return s->second.entries;
}

}  // namespace kiv
