#pragma once
// The in-memory image of an INI text, read with the one set of rules every
// settings file of the client uses: connection files, "KivClient.ini", the
// farm files, the language files and the machine settings store.
//
// The text is single-byte (system code page); lines end at CR, LF or CR LF and
// are trimmed of blanks and control characters; ";" starts a comment line;
// names compare case-insensitively; the last of two sections of one name is the
// one read (with only its own keys), the last of two keys of one name wins.
// Any byte, NUL included, is just a byte of its line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kiv {

// The integer rule of every settings read: decimal, or hexadecimal after "0x"/"0X"
// (longer than two characters) or "$"; an optional sign; anything that is not a
// whole 32-bit integer gives the default.
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);

// Digits only, as a port number is written: anything else gives the default.
int32_t DecimalToIntDef(std::string_view text, int32_t defaultValue);

class TIniImage {
public:
    static TIniImage FromText(std::string_view bytes);
    // nullopt when the file cannot be read (missing, a folder, no permission).
    static std::optional<TIniImage> FromFile(const std::filesystem::path& path);

    // The value after "=", or the default when the section or the key is missing.
    // A key present with an empty value gives the empty text.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::size_t KeyCount(std::string_view section) const;
    // The section's keys (lower-cased) with their values, in the order of the file
    // (a key given twice stands where it first stood, with its last value).
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

private:
    struct Section {
        std::vector<std::pair<std::string, std::string>> entries;  // lower-cased key, value; file order
        std::unordered_map<std::string, std::size_t> index;        // lower-cased key -> entry
        void Set(std::string key, std::string value);
    };
    const std::string* FindValue(std::string_view section, std::string_view key) const;

    std::unordered_map<std::string, Section> sections_;  // by lower-cased name
};

}  // namespace kiv
