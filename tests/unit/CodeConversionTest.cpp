#include "infra/CodeConversion.h"

#include <gtest/gtest.h>

#include <string>

#include "infra/ChineseCharacters.h"
#include "MsgSmlFakes.h"

namespace kiv {
namespace {

using namespace std::string_literals;

struct TConversionCase {
    const char* what;
    int32_t mode;
    std::string input;
    std::string expected;
};

// 发 in GBK is B7A2; its traditional form 發 is B56F in BIG5 and B06C in GBK.
const TConversionCase kCases[] = {
    {"ascii unchanged by mode 1", 1, "Hello, 123!", "Hello, 123!"},
    {"simplified to BIG5 traditional", 1, "\xB7\xA2", "\xB5\x6F"},
    {"simplified with ascii around it", 1, "a\xB7\xA2z", "a\xB5\x6Fz"},
    {"BIG5 traditional to GBK simplified", 2, "\xB5\x6F", "\xB7\xA2"},
    {"BIG5 traditional to GBK as it is", 3, "\xB5\x6F", "\xB0\x6C"},
    {"mode 0 leaves bytes alone", 0, "\xB7\xA2", "\xB7\xA2"},
    {"an unknown mode leaves bytes alone", 7, "\xB7\xA2", "\xB7\xA2"},
    {"a negative mode leaves bytes alone", -1, "\xB5\x6F", "\xB5\x6F"},
    {"the text ends at its first zero", 1, "\xB7\xA2\0\xB7\xA2"s, "\xB5\x6F"},
    {"what BIG5 cannot hold becomes a question mark", 1, "\x81\x40", "?"},  // 丂
    {"bytes that are no GBK become a question mark", 1, "a\xFF" "b", "a?b"},
};

class ConvertTextCases : public ::testing::TestWithParam<TConversionCase> {};

TEST_P(ConvertTextCases, Converts) {
    const TConversionCase& c = GetParam();
    EXPECT_EQ(ConvertText(c.input, c.mode), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(CodeConversion, ConvertTextCases, ::testing::ValuesIn(kCases));

TEST(CodeConversion, EmptyTextStaysEmptyInEveryMode) {
    for (int32_t mode : {0, 1, 2, 3, 4}) EXPECT_EQ(ConvertText("", mode), "") << mode;
}

TEST(CodeConversion, WideToGbkWhateverTheLocaleAndUpToTheFirstZero) {
    test::ScopedEnv lang("LC_ALL", "zh_TW.UTF-8");
    EXPECT_EQ(WideToGbk(u"中文"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(WideToGbk(u"ab\0cd"s), "ab");
    EXPECT_EQ(WideToGbk(u"a\U0001F600b\xD800"), "a?b?");  // no GBK form; a lone surrogate
    EXPECT_EQ(WideToCodePage(u"發", 950), "\xB5\x6F");
}

TEST(CodeConversion, MissingDictionariesLeaveCharactersAndSayWhy) {
    test::ScopedLog log({dmMain});
    const TChineseCharacterMap map("/nonexistent", {"NoSuchDictionary.ocd2"});
    EXPECT_FALSE(map.Usable());
    EXPECT_EQ(map.Map("发"), "发");
    EXPECT_TRUE(log.Has("[TChineseCharacterMap]the character dictionaries cannot be loaded"));
}

}  // namespace
}  // namespace kiv
