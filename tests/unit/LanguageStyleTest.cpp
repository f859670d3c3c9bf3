#include "infra/LanguageStyle.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace kiv {
namespace {

using test::ScopedEnv;
using test::TempDir;

// A program folder with an index file and the language files the test writes.
class LanguageStyleTest : public ::testing::Test {
protected:
    TLanguageStyle Load(uint16_t languageId) const {
        return TLanguageStyle(dir.path(), dir.path() / "Resource.ini", languageId);
    }
    void WriteIndex(std::string_view text) const { dir.Write("Resource.ini", text); }

    TempDir dir;
};

TEST_F(LanguageStyleTest, LanguageFileInSubfolderIsTakenRelativeToTheProgramFolder) {
    WriteIndex("[LanguageStyle]\r\n2052=Chinese\r\n[Chinese]\r\nIniPath=Language\\zh.ini\r\nImgPath=Images\\\r\n");
    dir.Write("Language/zh.ini", "[TEXT]\r\nErrorCap = 错误 \r\n[font]\r\nName=Noto Sans CJK SC\r\n");

    const TLanguageStyle style = Load(2052);
    ASSERT_TRUE(style.HasLanguageFile());
    EXPECT_EQ(style.LanguageFilePath(), dir.path() / "Language" / "zh.ini");
    EXPECT_EQ(style.LanguageId(), 2052);
    EXPECT_EQ(style.GetText("ErrorCap"), "错误");
    EXPECT_EQ(style.GetText("errorcap"), "错误");  // key names compare without case
    EXPECT_EQ(style.GetText("Missing"), "");
    EXPECT_EQ(style.GetFont("Name"), "Noto Sans CJK SC");
}

TEST_F(LanguageStyleTest, LanguageWithoutEntryFallsBackToDefaultLanguage) {
    WriteIndex(
        "[LanguageStyle]\n2052=zh\n[DefaultLanguage]\nLG=en\n"
        "[zh]\nIniPath=zh.ini\n[en]\nIniPath=en.ini\n");
    dir.Write("zh.ini", "[TEXT]\nCancelCap=取消\n");
    dir.Write("en.ini", "[TEXT]\nCancelCap=Cancel\n");

    EXPECT_EQ(Load(1033).GetText("CancelCap"), "Cancel");
    EXPECT_EQ(Load(2052).GetText("CancelCap"), "取消");
}

TEST_F(LanguageStyleTest, SectionNamesCompareWithoutCase) {
    WriteIndex("[languagestyle]\n1033=EN\n[en]\nINIPATH=en.ini\n");
    dir.Write("en.ini", "[text]\nKivMsg_Ok=OK\n");
    EXPECT_EQ(Load(1033).GetText("KivMsg_Ok"), "OK");
}

TEST_F(LanguageStyleTest, EveryPathWithoutLanguageFileGivesEmptyTextsAndDefaults) {
    dir.Write("zh.ini", "[TEXT]\nErrorCap=错误\n[IMAGE]\nImg1=zh.ini\n");
    const struct {
        const char* what;
        const char* index;
    } cases[] = {
        {"no Resource.ini", nullptr},
        {"no entry and no LG", "[LanguageStyle]\n2052=zh\n[zh]\nIniPath=zh.ini\n"},
        {"section named but missing", "[LanguageStyle]\n1033=en\n[zh]\nIniPath=zh.ini\n"},
        // An empty section opens nothing, even though the file it could name exists.
        {"empty section", "[LanguageStyle]\n1033=zh\n[zh]\n[other]\nIniPath=zh.ini\n"},
        {"language file missing", "[LanguageStyle]\n1033=zh\n[zh]\nIniPath=Language\\none.ini\n"},
        {"IniPath empty names the folder itself", "[LanguageStyle]\n1033=zh\n[zh]\nImgPath=\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ec;
        std::filesystem::remove(dir.path() / "Resource.ini", ec);
        if (c.index) WriteIndex(c.index);
        const TLanguageStyle style = Load(1033);
        EXPECT_FALSE(style.HasLanguageFile());
        EXPECT_EQ(style.GetText("ErrorCap"), "");
        EXPECT_EQ(style.GetFont("Name"), "");
        EXPECT_EQ(style.GetImage("Img1"), "");
        EXPECT_EQ(style.ReadValue("FONT", "charset", "2052"), "2052");
    }
}

TEST_F(LanguageStyleTest, PictureFolderIsGluedToTheFileNameAsWritten) {
    dir.Write("lang.ini", "[IMAGE]\nImg1=banner.png\nImg2=missing.png\nImg3=\n");
    const std::string banner = dir.Write("Images/banner.png", "png").string();

    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\nImgPath=Images\\\n");
    const TLanguageStyle windowsStyle = Load(2052);
    EXPECT_EQ(windowsStyle.GetImage("Img1"), banner);
    EXPECT_EQ(windowsStyle.GetImage("Img2"), "");  // the file is not there
    EXPECT_EQ(windowsStyle.GetImage("Img3"), "");  // no name
    EXPECT_EQ(windowsStyle.GetImage("Img9"), "");  // no key

    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\nImgPath=Images/\n");
    EXPECT_EQ(Load(2052).GetImage("Img1"), banner);

    // Without the final separator the path becomes "Imagesbanner.png".
    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\nImgPath=Images\n");
    EXPECT_EQ(Load(2052).GetImage("Img1"), "");
    dir.Write("Imagesbanner.png", "png");
    EXPECT_EQ(Load(2052).GetImage("Img1"), (dir.path() / "Imagesbanner.png").string());
}

TEST_F(LanguageStyleTest, FontAndCharsetShareOneSectionAndCharsetHasItsDefault) {
    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\n");
    dir.Write("lang.ini", "[FONT]\nName=WenQuanYi Micro Hei\nsize=10\n");
    const TLanguageStyle style = Load(2052);
    EXPECT_EQ(style.GetFont("Name"), "WenQuanYi Micro Hei");
    EXPECT_EQ(style.GetFont("size"), "10");
    EXPECT_EQ(style.ReadValue("FONT", "charset", "2052"), "2052");

    dir.Write("lang.ini", "[font]\ncharset=1033\n");
    EXPECT_EQ(style.ReadValue("FONT", "charset", "2052"), "1033");
    EXPECT_EQ(style.GetFont("size"), "");
}

TEST_F(LanguageStyleTest, EditsTakeEffectAtTheNextLookup) {
    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\n");
    dir.Write("lang.ini", "[TEXT]\nStepCaption=first\n");
    const TLanguageStyle style = Load(2052);
    EXPECT_EQ(style.GetText("StepCaption"), "first");

    // Same size as before: a cache keyed on size alone would miss this.
    dir.Write("lang.ini", "[TEXT]\nStepCaption=again\n");
    EXPECT_EQ(style.GetText("StepCaption"), "again");

    std::filesystem::remove(dir.path() / "lang.ini");
    EXPECT_EQ(style.GetText("StepCaption"), "");
    EXPECT_EQ(style.ReadValue("TEXT", "StepCaption", "fallback"), "fallback");
}

TEST_F(LanguageStyleTest, LongValuesAreCutTo2047Bytes) {
    WriteIndex("[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\n");
    const std::string ascii(3000, 'a');
    // 682 three-byte characters make 2046 bytes; the 683rd would end at 2049.
    std::string chinese;
    for (int i = 0; i < 700; ++i) chinese += "中";
    dir.Write("lang.ini", "[TEXT]\nLong=" + ascii + "\nChinese=" + chinese + "\nExact=" + ascii.substr(0, 2047) + "\n");

    const TLanguageStyle style = Load(2052);
    EXPECT_EQ(style.GetText("Long"), ascii.substr(0, 2047));
    EXPECT_EQ(style.GetText("Exact"), ascii.substr(0, 2047));
    EXPECT_EQ(style.GetText("Chinese"), chinese.substr(0, 682 * 3));  // no half character left
    EXPECT_EQ(style.ReadValue("TEXT", "Nothing", ascii).size(), 2047u);
}

TEST_F(LanguageStyleTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    WriteIndex("\xEF\xBB\xBF[LanguageStyle]\n2052=zh\n[zh]\nIniPath=lang.ini\n");
    dir.Write("lang.ini", "\xEF\xBB\xBF[TEXT]\nKivMsg_Ok=确定\n");
    EXPECT_EQ(Load(2052).GetText("KivMsg_Ok"), "确定");
}

TEST(HeaderScheme, ColorSchemeValuesMapToSchemes) {
    EXPECT_EQ(HeaderSchemeFor(0), THeaderScheme::Black);
    EXPECT_EQ(HeaderSchemeFor(1), THeaderScheme::Blue);
    EXPECT_EQ(HeaderSchemeFor(2), THeaderScheme::Silver);
    EXPECT_EQ(HeaderSchemeFor(3), THeaderScheme::Default);
    EXPECT_EQ(HeaderSchemeFor(7), THeaderScheme::Default);
    EXPECT_EQ(HeaderSchemeFor(-1), THeaderScheme::Default);
}

TEST(HeaderScheme, ColorSchemeIsReadFromTheUsersFarmList) {
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path().string());

    EXPECT_EQ(ReadColorScheme(), 0);  // no Farms.ini

    config.Write("VYNClient6.0/Farms.ini", "[Farms]\nFarmList=a\n");
    EXPECT_EQ(ReadColorScheme(), 0);  // no key

    config.Write("VYNClient6.0/Farms.ini", "[clientset]\ncolorscheme=3\n");
    EXPECT_EQ(ReadColorScheme(), 3);
    EXPECT_EQ(HeaderSchemeFor(ReadColorScheme()), THeaderScheme::Default);

    config.Write("VYNClient6.0/Farms.ini", "[ClientSet]\nColorScheme=1\n");
    EXPECT_EQ(HeaderSchemeFor(ReadColorScheme()), THeaderScheme::Blue);

    config.Write("VYNClient6.0/Farms.ini", "[ClientSet]\nColorScheme=blue\n");
    EXPECT_EQ(ReadColorScheme(), 0);
}

TEST(LanguageStyleInstance, GlobalInstanceIsTheOneSet) {
    TempDir dir;
    TLanguageStyle style(dir.path(), dir.path() / "Resource.ini", 2052);
    TLanguageStyle* const previous = LanguageStyle();
    SetLanguageStyle(&style);
    EXPECT_EQ(LanguageStyle(), &style);
    SetLanguageStyle(previous);
    EXPECT_EQ(LanguageStyle(), previous);
}

}  // namespace
}  // namespace kiv
