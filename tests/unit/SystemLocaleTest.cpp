#include "infra/SystemLocale.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kiv {
namespace {

using test::ScopedEnv;

TEST(SystemLocale, CodePageFollowsLcAllThenLcCtypeThenLang) {
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv ctype("LC_CTYPE", std::nullopt);
    ScopedEnv messages("LC_MESSAGES", "ja_JP.UTF-8");  // has no say in the code page
    ScopedEnv lang("LANG", std::nullopt);

    EXPECT_EQ(LocaleName(false), "C");
    EXPECT_EQ(SystemCodePage(), 1252u);

    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(LocaleName(false), "zh_TW.UTF-8");
    EXPECT_EQ(SystemCodePage(), 950u);

    setenv("LC_CTYPE", "zh_CN.GBK", 1);
    EXPECT_EQ(SystemCodePage(), 936u);

    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(SystemCodePage(), 1252u);

    // An empty variable counts as not set.
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(LocaleName(false), "zh_CN.GBK");
}

TEST(SystemLocale, LanguageFollowsLcAllThenLcMessagesThenLang) {
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv ctype("LC_CTYPE", "de_DE.UTF-8");  // has no say in the language
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", std::nullopt);

    EXPECT_EQ(SystemDefaultLanguageId(), 1033);

    setenv("LANG", "zh_CN.UTF-8", 1);
    EXPECT_EQ(SystemDefaultLanguageId(), 2052);

    setenv("LC_MESSAGES", "zh_HK.UTF-8", 1);
    EXPECT_EQ(LocaleName(true), "zh_HK.UTF-8");
    EXPECT_EQ(SystemDefaultLanguageId(), 3076);

    setenv("LC_ALL", "POSIX", 1);
    EXPECT_EQ(SystemDefaultLanguageId(), 1033);
}

TEST(SystemLocale, CodePageOfLocaleForms) {
    EXPECT_EQ(CodePageOfLocale("zh_CN.UTF-8"), 936u);
    EXPECT_EQ(CodePageOfLocale("zh_CN.GB18030@stroke"), 936u);
    EXPECT_EQ(CodePageOfLocale("zh_SG"), 936u);
    EXPECT_EQ(CodePageOfLocale("zh"), 936u);
    EXPECT_EQ(CodePageOfLocale("zh_TW.Big5"), 950u);
    EXPECT_EQ(CodePageOfLocale("zh_HK.UTF-8"), 950u);
    EXPECT_EQ(CodePageOfLocale("ZH-tw"), 950u);
    EXPECT_EQ(CodePageOfLocale("en_US.UTF-8"), 1252u);
    EXPECT_EQ(CodePageOfLocale("ja_JP.eucJP"), 1252u);
    EXPECT_EQ(CodePageOfLocale("C"), 1252u);
    EXPECT_EQ(CodePageOfLocale("C.UTF-8"), 1252u);
    EXPECT_EQ(CodePageOfLocale("POSIX"), 1252u);
    EXPECT_EQ(CodePageOfLocale(""), 1252u);
    EXPECT_EQ(CodePageOfLocale("@."), 1252u);
}

TEST(SystemLocale, LanguageIdOfLocaleForms) {
    EXPECT_EQ(LanguageIdOfLocale("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(LanguageIdOfLocale("zh_CN.GB18030@stroke"), 2052);
    EXPECT_EQ(LanguageIdOfLocale("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(LanguageIdOfLocale("zh_HK"), 3076);
    EXPECT_EQ(LanguageIdOfLocale("zh_SG.GBK"), 4100);
    EXPECT_EQ(LanguageIdOfLocale("en_US.UTF-8"), 1033);
    EXPECT_EQ(LanguageIdOfLocale("en_GB.UTF-8"), 2057);
    EXPECT_EQ(LanguageIdOfLocale("de_DE@euro"), 1031);
    EXPECT_EQ(LanguageIdOfLocale("fr_FR"), 1036);
    EXPECT_EQ(LanguageIdOfLocale("ja_JP.UTF-8"), 1041);
    EXPECT_EQ(LanguageIdOfLocale("ko_KR.EUC-KR"), 1042);
    EXPECT_EQ(LanguageIdOfLocale("ru_RU"), 1049);
    EXPECT_EQ(LanguageIdOfLocale("pt_BR"), 1046);
    EXPECT_EQ(LanguageIdOfLocale("pt_PT"), 2070);
    // A bare language, or an unknown territory, takes the language's main variant.
    EXPECT_EQ(LanguageIdOfLocale("zh"), 2052);
    EXPECT_EQ(LanguageIdOfLocale("en"), 1033);
    EXPECT_EQ(LanguageIdOfLocale("en_XX.UTF-8"), 1033);
    EXPECT_EQ(LanguageIdOfLocale("de_BE"), 1031);
    // The C locale is the untranslated program's English.
    EXPECT_EQ(LanguageIdOfLocale("C"), 1033);
    EXPECT_EQ(LanguageIdOfLocale("POSIX"), 1033);
    EXPECT_EQ(LanguageIdOfLocale(""), 1033);
    EXPECT_EQ(LanguageIdOfLocale("xx_YY"), 0);  // no language: the index's default
    EXPECT_EQ(LanguageIdOfLocale("eo.UTF-8"), 0);
}

}  // namespace
}  // namespace kiv
