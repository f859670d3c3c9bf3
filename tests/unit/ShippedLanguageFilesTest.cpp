// The language files and pictures shipped in resources/, read the way the client
// reads them beside its binary.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>

#include "infra/IniImage.h"
#include "infra/LanguageKeys.h"
#include "infra/LanguageStyle.h"
#include "infra/SystemLocale.h"

namespace kiv {
namespace {

// tests/unit/<this file> -> resources/
std::filesystem::path ResourceFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources";
}

TLanguageStyle Shipped(uint16_t languageId) {
    return TLanguageStyle(ResourceFolder(), ResourceFolder() / "Resource.ini", languageId);
}

std::string Lookup(const TLanguageStyle& style, const TLanguageKey& key) {
    if (key.section == "TEXT") return style.GetText(key.key);
    if (key.section == "font") return style.GetFont(key.key);
    if (key.section == "IMAGE") return style.GetImage(key.key);
    return style.ReadValue(key.section, key.key, "");
}

TEST(LanguageKeys, NoKeyIsListedTwice) {
    std::set<std::string> seen;
    for (const TLanguageKey& key : LanguageKeys()) {
        // "font" and "FONT" are one section.
        std::string name = std::string(key.section) + "/" + std::string(key.key);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
}

TEST(LanguageKeys, DirectivesOfTexts) {
    EXPECT_EQ(DirectivesOf("plain"), "");
    EXPECT_EQ(DirectivesOf("code %d: %s"), "%d%s");
    EXPECT_EQ(DirectivesOf("100%% sure, %u and %x"), "%u%x");
    EXPECT_EQ(DirectivesOf("%%s is no directive"), "");
    EXPECT_EQ(DirectivesOf("%5d and %q and a final %"), "");
}

TEST(ShippedLanguageFiles, EveryLanguageWithoutAnEntryGetsTheDefaultLanguage) {
    // German has an identifier but no entry; Esperanto not even an identifier.
    for (const char* locale : {"de_DE.UTF-8", "eo.UTF-8", "zh_TW.UTF-8"})
        EXPECT_EQ(Shipped(LanguageIdOfLocale(locale)).LanguageFilePath().filename(), "zh-CN.ini") << locale;
    EXPECT_EQ(Shipped(LanguageIdOfLocale("C")).LanguageFilePath().filename(), "en-US.ini");
}

TEST(ShippedLanguageFiles, EveryLanguageOfTheIndexHasEveryKey) {
    const auto index = TIniImage::FromFile(ResourceFolder() / "Resource.ini");
    ASSERT_TRUE(index.has_value());
    const uint16_t languages[] = {2052, 4100, 1033, 2057, 1028, 3076, 1041};
    for (const uint16_t id : languages) {
        SCOPED_TRACE("language " + std::to_string(id));
        const TLanguageStyle style = Shipped(id);
        ASSERT_TRUE(style.HasLanguageFile());
        for (const TLanguageKey& key : LanguageKeys()) {
            const std::string value = Lookup(style, key);
            EXPECT_FALSE(value.empty()) << key.section << "/" << key.key;
            if (key.section == "TEXT") {
                EXPECT_EQ(DirectivesOf(value), key.arguments) << key.key << " = " << value;
            }
        }
    }
}

TEST(ShippedLanguageFiles, LanguagesChooseTheirFiles) {
    EXPECT_EQ(Shipped(2052).LanguageFilePath().filename(), "zh-CN.ini");
    EXPECT_EQ(Shipped(1033).LanguageFilePath().filename(), "en-US.ini");
    EXPECT_EQ(Shipped(2057).LanguageFilePath().filename(), "en-US.ini");
    EXPECT_EQ(Shipped(1028).LanguageFilePath().filename(), "zh-CN.ini");  // the default
    EXPECT_EQ(Shipped(2052).GetText("CancelCap"), "取消");
    EXPECT_EQ(Shipped(1033).GetText("CancelCap"), "Cancel");
}

TEST(ShippedLanguageFiles, FontCharsetAndBanner) {
    const TLanguageStyle chinese = Shipped(2052);
    EXPECT_EQ(chinese.ReadValue("FONT", "charset", ""), "2052");
    EXPECT_EQ(StrToIntDef(chinese.GetFont("size"), 0), 9);
    EXPECT_EQ(StrToIntDef(Shipped(1033).GetFont("size"), 0), 9);

    const std::filesystem::path banner = chinese.GetImage("Img1");
    ASSERT_FALSE(banner.empty());
    EXPECT_TRUE(std::filesystem::equivalent(banner, ResourceFolder() / "Images" / "banner.png"));
    EXPECT_LT(std::filesystem::file_size(banner), 30u * 1024);
}

TEST(ShippedLanguageFiles, BothFilesHoldTheSameKeys) {
    const auto chinese = TIniImage::FromFile(ResourceFolder() / "Language" / "zh-CN.ini");
    const auto english = TIniImage::FromFile(ResourceFolder() / "Language" / "en-US.ini");
    ASSERT_TRUE(chinese && english);
    EXPECT_EQ(chinese->KeyCount("TEXT"), english->KeyCount("TEXT"));
    std::size_t listed = 0;
    for (const TLanguageKey& key : LanguageKeys()) listed += key.section == "TEXT";
    // A text in the files that no code asks for is a sign of a key the list lacks.
    EXPECT_EQ(chinese->KeyCount("TEXT"), listed);
}

}  // namespace
}  // namespace kiv
