#pragma once
// What the locale environment says about the machine's language, without needing
// the locale to be installed: LC_ALL, then LC_CTYPE, then LANG.
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

// The first non-empty of LC_ALL, LC_CTYPE, LANG (for the code page), or of
// LC_ALL, LC_MESSAGES, LANG (for the language); "C" when none is set.
std::string LocaleName(bool forMessages);

// The ANSI code page: 936 for zh_CN (and zh_SG), 950 for zh_TW and zh_HK, 1252 otherwise.
uint32_t CodePageOfLocale(std::string_view locale);
uint32_t SystemCodePage();

// The language identifier: 2052 zh_CN, 1028 zh_TW, 3076 zh_HK, 1033 en_US (and
// the C locale), ...; 0 for a language this table does not know.
uint16_t LanguageIdOfLocale(std::string_view locale);
uint16_t SystemDefaultLanguageId();

}  // namespace kiv
