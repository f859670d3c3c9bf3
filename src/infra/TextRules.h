#pragma once
// Small text rules shared by the settings readers: byte-wise, locale-free.
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

// Trims every byte up to and including the blank (0x00..0x20) at both ends.
std::string_view TrimBlanks(std::string_view text);
std::string Trimmed(std::string_view text);
// ASCII case mapping; bytes of 0x80 and above stay as they are (double-byte texts).
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);
// A comma text: items separated by commas or blanks; an item may be enclosed in
// double quotes (then it may hold blanks and commas, "" stands for one quote).
std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace kiv
