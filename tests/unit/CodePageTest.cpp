#include "infra/CodePage.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace kiv {
namespace {

using namespace std::string_literals;

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CodePage, IconvNames) {
    EXPECT_STREQ(IconvNameOfCodePage(936), "GBK");
    EXPECT_STREQ(IconvNameOfCodePage(950), "BIG5");
    EXPECT_STREQ(IconvNameOfCodePage(1252), "CP1252");
    EXPECT_STREQ(IconvNameOfCodePage(1251), "CP1251");
    // The pointer stays valid after other names were asked for.
    const char* const japanese = IconvNameOfCodePage(932);
    IconvNameOfCodePage(949);
    EXPECT_STREQ(japanese, "CP932");
}

TEST(CodePage, GbkRoundTripOfSimplifiedChinese) {
    const std::string gbk = "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";
    EXPECT_EQ(CodePageToUtf8(gbk, 936), "简体中文测试");
    EXPECT_EQ(Utf8ToCodePage("简体中文测试", 936), gbk);
    // GBK holds the traditional forms too.
    EXPECT_EQ(Utf8ToCodePage("漢", 936), "\x9D\x68");
    EXPECT_EQ(Utf8ToCodePage("Text 中文 ok", 936), "Text \xD6\xD0\xCE\xC4 ok");
}

TEST(CodePage, Big5RoundTripOfTraditionalChinese) {
    const std::string big5 = "\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5";
    EXPECT_EQ(CodePageToUtf8(big5, 950), "繁體中文");
    EXPECT_EQ(Utf8ToCodePage("繁體中文", 950), big5);
}

TEST(CodePage, Cp1252) {
    EXPECT_EQ(CodePageToUtf8("\x80\xE9", 1252), "€é");
    EXPECT_EQ(Utf8ToCodePage("€é", 1252), "\x80\xE9");
}

TEST(CodePage, InvalidBytesBecomeReplacementCharactersAndConversionGoesOn) {
    // 0xFF is no GBK byte; 0x81 0x20 is a lead byte without its trail byte.
    EXPECT_EQ(CodePageToUtf8("a\xFF" "b", 936), "a" + kReplacement + "b");
    EXPECT_EQ(CodePageToUtf8("\xFF\xFF\xD6\xD0", 936), kReplacement + kReplacement + "中");
    EXPECT_EQ(CodePageToUtf8("\x81 x", 936), kReplacement + " x");
    // A lead byte cut short at the end.
    EXPECT_EQ(CodePageToUtf8("\xD6\xD0\xD6", 936), "中" + kReplacement);
    EXPECT_EQ(CodePageToUtf8("\xA4", 950), kReplacement);
    // Enough bad bytes to need several output rounds.
    const std::string bad(5000, '\xFF');
    std::string expected;
    for (int i = 0; i < 5000; ++i) expected += kReplacement;
    EXPECT_EQ(CodePageToUtf8(bad, 936), expected);
}

TEST(CodePage, UnmappableCharactersAndBadUtf8BecomeQuestionMarks) {
    // BIG5 has no simplified form of these characters.
    EXPECT_EQ(Utf8ToCodePage("国中", 950), "?\xA4\xA4");
    EXPECT_EQ(Utf8ToCodePage("a😀b", 936), "a?b");
    EXPECT_EQ(Utf8ToCodePage("中", 1252), "?");
    // Bytes that are not UTF-8: one "?" each.
    EXPECT_EQ(Utf8ToCodePage("a\xFF\xC0" "b", 936), "a??b");
    EXPECT_EQ(Utf8ToCodePage("x\xE4\xB8", 936), "x??");  // cut short at the end
    EXPECT_EQ(Utf8ToCodePage("\xED\xA0\x80", 936), "???");  // a surrogate
}

TEST(CodePage, NulBytesPassThroughBothWays) {
    const std::string withNul = "a\0\xD6\xD0\0b"s;
    EXPECT_EQ(CodePageToUtf8(withNul, 936), "a\0中\0b"s);
    EXPECT_EQ(Utf8ToCodePage("a\0中\0b"s, 936), withNul);
    EXPECT_EQ(CodePageToUtf8("\0"s, 1252), "\0"s);
}

TEST(CodePage, EmptyTextStaysEmpty) {
    EXPECT_EQ(CodePageToUtf8("", 936), "");
    EXPECT_EQ(Utf8ToCodePage("", 950), "");
}

TEST(CodePage, UnknownCodePageKeepsAsciiOnly) {
    EXPECT_EQ(CodePageToUtf8("ab\x80", 99999), "ab" + kReplacement);
    EXPECT_EQ(Utf8ToCodePage("ab中", 99999), "ab?");
}

TEST(CodePage, SystemConversionsFollowTheLocale) {
    test::ScopedEnv all("LC_ALL", std::nullopt);
    test::ScopedEnv ctype("LC_CTYPE", std::nullopt);
    test::ScopedEnv lang("LANG", "zh_CN.UTF-8");
    EXPECT_EQ(SystemToUtf8("\xD6\xD0"), "中");
    EXPECT_EQ(Utf8ToSystem("中"), "\xD6\xD0");

    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(Utf8ToSystem("中"), "\xA4\xA4");

    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(SystemToUtf8("caf\xE9"), "café");
}

}  // namespace
}  // namespace kiv
