#include "infra/LanguageStyle.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "launch/FarmList.h"

namespace kiv {

namespace {

// Profile values are read into a buffer of 2048 characters, so a value keeps at
// most 2047. The language files are UTF-8: a cut never leaves half a character.
constexpr std::size_t kMaxValueLength = 2047;

std::string CutValue(std::string value) {
    if (value.size() <= kMaxValueLength) return value;
    std::size_t cut = kMaxValueLength;
    // Step back over continuation bytes to the start of the character that the
    // cut splits; keep that character only if it ends right at the cut.
    std::size_t start = cut;
    while (start > 0 && start > cut - 4 && (static_cast<unsigned char>(value[start]) & 0xC0) == 0x80) --start;
    const unsigned char lead = static_cast<unsigned char>(value[start]);
    if (start < cut && lead >= 0xC0) cut = start;
    value.resize(cut);
    return value;
}

// Resource.ini is often written on the other platform: "Language\zh-CN.ini".
std::string LocalPath(std::string_view path) {
    std::string local(path);
    std::replace(local.begin(), local.end(), '\\', '/');
    return local;
}

std::string WithTrailingSeparator(const std::filesystem::path& folder) {
    std::string text = folder.string();
    if (!text.empty() && text.back() != '/') text += '/';
    return text;
}

// Translators' editors like to put a byte-order mark in front of the first section.
std::optional<TIniImage> ReadIniFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return TIniImage::FromText(bytes);
}

std::string ReadProfileString(const TIniImage& ini, std::string_view section, std::string_view key,
                              std::string_view defaultValue = {}) {
    return CutValue(ini.ReadString(section, key, defaultValue));
}

TLanguageStyle* g_languageStyle = nullptr;

}  // namespace

TLanguageStyle::TLanguageStyle(std::filesystem::path programFolder, std::filesystem::path indexFile,
                               uint16_t languageId)
    : programFolder_(std::move(programFolder)), languageId_(languageId), indexFile_(std::move(indexFile)) {
    const std::optional<TIniImage> index = ReadIniFile(indexFile_);
    if (!index) return;

    std::string section = ReadProfileString(*index, "LanguageStyle", std::to_string(languageId_));
    if (section.empty()) section = ReadProfileString(*index, "DefaultLanguage", "LG");
    if (section.empty() || index->KeyCount(section) == 0) return;

    const std::string base = WithTrailingSeparator(programFolder_);
    const std::filesystem::path candidate = base + LocalPath(ReadProfileString(*index, section, "IniPath"));
    languageFile_ = ReadIniFile(candidate);
    if (languageFile_) languageFilePath_ = candidate;

    imagePath_ = ReadProfileString(*index, section, "ImgPath");
}

std::optional<TIniImage> TLanguageStyle::LoadLanguageFile() const {
    // Read afresh at every lookup: an edited language file shows at the next lookup.
    if (!languageFile_) return std::nullopt;
    return ReadIniFile(languageFilePath_);
}

std::string TLanguageStyle::GetText(std::string_view key) const { return ReadValue("TEXT", key, ""); }

std::string TLanguageStyle::GetFont(std::string_view key) const { return ReadValue("font", key, ""); }

std::string TLanguageStyle::ReadValue(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
    const std::optional<TIniImage> file = LoadLanguageFile();
    if (!file) return CutValue(std::string(defaultValue));
    return ReadProfileString(*file, section, key, defaultValue);
}

std::string TLanguageStyle::GetImage(std::string_view key) const {
    const std::optional<TIniImage> file = LoadLanguageFile();
    if (!file) return {};
    const std::string name = ReadProfileString(*file, "IMAGE", key);
    if (name.empty()) return {};
    // The picture folder is glued to the name as written: without its final
    // separator the name runs into the folder's and the file is not found.
    const std::string path = WithTrailingSeparator(programFolder_) + LocalPath(imagePath_ + name);
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) ? path : std::string();
}

THeaderScheme HeaderSchemeFor(int32_t colorScheme) {
    switch (colorScheme) {
        case 0: return THeaderScheme::Black;
        case 1: return THeaderScheme::Blue;
        case 2: return THeaderScheme::Silver;
        default: return THeaderScheme::Default;
    }
}

int32_t ReadColorScheme() {
    // Without a per-user folder the file name is taken relative to the current folder.
    const std::optional<TIniImage> farms = ReadIniFile(GetUserDataFolder() + "Farms.ini");
    return farms ? farms->ReadInteger("ClientSet", "ColorScheme", 0) : 0;
}

TLanguageStyle* LanguageStyle() { return g_languageStyle; }

void SetLanguageStyle(TLanguageStyle* style) { g_languageStyle = style; }

}  // namespace kiv
