#pragma once
// Conversions between the single-byte texts of the record (system code page)
// and UTF-8, for the places where a human reads them. Bytes that do not convert
// become U+FFFD; nothing is dropped silently.
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The iconv name of a code page: "GBK", "BIG5", "CP1252".
const char* IconvNameOfCodePage(uint32_t codePage);

std::string CodePageToUtf8(std::string_view bytes, uint32_t codePage);
std::string Utf8ToCodePage(std::string_view utf8, uint32_t codePage);  // unmappable -> '?'
std::string Utf16ToCodePage(std::u16string_view text, uint32_t codePage);  // unmappable -> '?'

std::string SystemToUtf8(std::string_view bytes);
std::string Utf8ToSystem(std::string_view utf8);

}  // namespace kiv
