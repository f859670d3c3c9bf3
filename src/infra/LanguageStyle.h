#pragma once
// The language resources: every user-visible text, the dialog font, the progress
// dialog's picture and the character set announced to the server, from the
// language file that "Resource.ini" names for the machine's language.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "infra/IniImage.h"

namespace kiv {

class TLanguageStyle {
public:
    // programFolder: where the binary lives (the language file and picture paths
    // are relative to it); indexFile: normally programFolder / "Resource.ini".
    TLanguageStyle(std::filesystem::path programFolder, std::filesystem::path indexFile, uint16_t languageId);

    std::string GetText(std::string_view key) const;   // [TEXT]
    std::string GetFont(std::string_view key) const;   // [font]
    std::string GetImage(std::string_view key) const;  // full path of an existing picture, or empty
    std::string ReadValue(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    bool HasLanguageFile() const { return languageFile_.has_value(); }
    const std::filesystem::path& LanguageFilePath() const { return languageFilePath_; }
    uint16_t LanguageId() const { return languageId_; }

private:
    std::optional<TIniImage> LoadLanguageFile() const;

    std::filesystem::path programFolder_;
    uint16_t languageId_;
    std::filesystem::path indexFile_;
    std::string imagePath_;
    std::filesystem::path languageFilePath_;
    std::optional<TIniImage> languageFile_;  // presence only; lookups re-read the file
};

// The dialog header's colour scheme from "Farms.ini" [ClientSet] ColorScheme.
enum class THeaderScheme { Default, Black, Blue, Silver };
THeaderScheme HeaderSchemeFor(int32_t colorScheme);
int32_t ReadColorScheme();  // 0 when the file or the key is missing

// The global instance, created by the program entry.
TLanguageStyle* LanguageStyle();
void SetLanguageStyle(TLanguageStyle* style);

}  // namespace kiv
