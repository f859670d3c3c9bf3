#include "infra/SystemLocale.h"

#include <cstdlib>
#include <initializer_list>

#include "infra/TextRules.h"

namespace kiv {

namespace {

struct TLocaleParts {
    std::string language;   // lower case: "zh"
    std::string territory;  // upper case: "CN"; empty when not given
};

// "zh_CN.UTF-8", "zh_CN.GB18030@stroke", "en_US", "zh", "C", "POSIX"; a hyphen
// ("zh-TW") is taken as the separator too.
TLocaleParts SplitLocale(std::string_view locale) {
    locale = TrimBlanks(locale);
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::size_t separator = locale.find_first_of("_-");
    TLocaleParts parts;
    parts.language = LowerAscii(locale.substr(0, separator));
    if (separator != std::string_view::npos) parts.territory = UpperAscii(locale.substr(separator + 1));
    return parts;
}

struct TLanguageIdEntry {
    std::string_view language;
    std::string_view territory;  // the first entry of a language is its default
    uint16_t id;
};

// Windows language identifiers of the locales a desktop is likely to run in.
constexpr TLanguageIdEntry kLanguageIds[] = {
    {"zh", "CN", 2052},  {"zh", "TW", 1028},  {"zh", "HK", 3076},  {"zh", "SG", 4100},  {"zh", "MO", 5124},
    {"en", "US", 1033},  {"en", "GB", 2057},  {"en", "AU", 3081},  {"en", "CA", 4105},  {"en", "NZ", 5129},
    {"en", "IE", 6153},  {"en", "ZA", 7177},  {"en", "IN", 16393}, {"en", "SG", 18441}, {"de", "DE", 1031},
    {"de", "CH", 2055},  {"de", "AT", 3079},  {"de", "LU", 4103},  {"de", "LI", 5127},  {"fr", "FR", 1036},
    {"fr", "BE", 2060},  {"fr", "CA", 3084},  {"fr", "CH", 4108},  {"fr", "LU", 5132},  {"ja", "JP", 1041},
    {"ko", "KR", 1042},  {"ru", "RU", 1049},  {"es", "ES", 1034},  {"es", "MX", 2058},  {"it", "IT", 1040},
    {"it", "CH", 2064},  {"pt", "BR", 1046},  {"pt", "PT", 2070},  {"nl", "NL", 1043},  {"nl", "BE", 2067},
    {"pl", "PL", 1045},  {"sv", "SE", 1053},  {"tr", "TR", 1055},  {"cs", "CZ", 1029},  {"da", "DK", 1030},
    {"fi", "FI", 1035},  {"el", "GR", 1032},  {"hu", "HU", 1038},  {"nb", "NO", 1044},  {"uk", "UA", 1058},
    {"ar", "SA", 1025},  {"he", "IL", 1037},  {"th", "TH", 1054},  {"vi", "VN", 1066},  {"id", "ID", 1057},
    {"ms", "MY", 1086},
};

constexpr uint16_t kEnglishUnitedStates = 1033;
// LANG_NEUTRAL: no language. No index has an entry for it, so it takes the default language.
constexpr uint16_t kNoLanguage = 0;

std::string FirstSetVariable(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

}  // namespace

std::string LocaleName(bool forMessages) {
    return forMessages ? FirstSetVariable({"LC_ALL", "LC_MESSAGES", "LANG"})
                       : FirstSetVariable({"LC_ALL", "LC_CTYPE", "LANG"});
}

uint32_t CodePageOfLocale(std::string_view locale) {
    const TLocaleParts parts = SplitLocale(locale);
    if (parts.language != "zh") return 1252;
    if (parts.territory == "TW" || parts.territory == "HK" || parts.territory == "MO") return 950;
    return 936;  // zh_CN, zh_SG and a bare "zh"
}

uint32_t SystemCodePage() { return CodePageOfLocale(LocaleName(false)); }

uint16_t LanguageIdOfLocale(std::string_view locale) {
    const TLocaleParts parts = SplitLocale(locale);
    // The C locale speaks the untranslated program's English.
    if (parts.language.empty() || parts.language == "c" || parts.language == "posix") return kEnglishUnitedStates;
    const TLanguageIdEntry* languageDefault = nullptr;
    for (const TLanguageIdEntry& entry : kLanguageIds) {
        if (entry.language != parts.language) continue;
        if (entry.territory == parts.territory) return entry.id;
        if (languageDefault == nullptr) languageDefault = &entry;
    }
    // A bare language, or a territory the table does not know, takes the
    // language's main variant. A language the table does not know is no
    // language at all: like every language without an entry in the index, it
    // gets the index's default language.
    return languageDefault != nullptr ? languageDefault->id : kNoLanguage;
}

uint16_t SystemDefaultLanguageId() { return LanguageIdOfLocale(LocaleName(true)); }

}  // namespace kiv
