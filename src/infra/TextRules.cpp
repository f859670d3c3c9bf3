#include "infra/TextRules.h"

namespace kiv {

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }
char LowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::string Trimmed(std::string_view text) { return std::string(TrimBlanks(text)); }

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerByte(c);
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperByte(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerByte(a[i]) != LowerByte(b[i])) return false;
    return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto isSeparator = [](char c) { return c == ',' || IsBlank(c); };
    while (i < n) {
        while (i < n && isSeparator(text[i])) ++i;
        if (i >= n) break;
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') { item += '"'; i += 2; continue; }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && !isSeparator(text[i])) item += text[i++];
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace kiv
