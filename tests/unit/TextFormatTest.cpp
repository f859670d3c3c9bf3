#include "infra/TextFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

TEST(TextFormat, SessionKeyShapes) {
    EXPECT_EQ(Format("%s|%d|%s|%s|%s|%d", {"10.1.2.3", 3390, "DOM", "ann", "pw", 3}), "10.1.2.3|3390|DOM|ann|pw|3");
    EXPECT_EQ(Format("%s|%s|%d", {"", "", -1}), "||-1");
}

TEST(TextFormat, IntegerDirectives) {
    EXPECT_EQ(Format("%d %d", {int64_t{-2147483648LL}, int64_t{9000000000LL}}), "-2147483648 9000000000");
    EXPECT_EQ(Format("%u", {-1}), "4294967295");
    EXPECT_EQ(Format("%x|%X", {255, 255}), "ff|FF");
    EXPECT_EQ(Format("%x", {-1}), "ffffffff");
    EXPECT_EQ(Format("%x", {int64_t{0x123456789AB}}), "123456789ab");
    EXPECT_EQ(Format("%d", {int64_t{INT64_MIN}}), "-9223372036854775808");
}

TEST(TextFormat, PrecisionGivesLeastDigitsAndWidthPads) {
    EXPECT_EQ(Format("%.8x%.8x", {0x1F, 0}), "0000001f00000000");
    EXPECT_EQ(Format("Handle:0x%0.4x left=%0.4d", {0xAB, 7}), "Handle:0x00ab left=0007");
    EXPECT_EQ(Format("EReason=%.8x", {0x12345678}), "EReason=12345678");
    EXPECT_EQ(Format("[%5d][%-5d][%2d]", {42, 42, 12345}), "[   42][42   ][12345]");
    EXPECT_EQ(Format("[%-4s][%4s][%.2s]", {"ab", "ab", "abcdef"}), "[ab  ][  ab][ab]");
    EXPECT_EQ(Format("%.3d", {-5}), "-005");
}

TEST(TextFormat, PercentSignsAndUnknownDirectivesStayAsWritten) {
    EXPECT_EQ(Format("100%% done", {}), "100% done");
    EXPECT_EQ(Format("%q %s", {"x"}), "%q x");
    EXPECT_EQ(Format("end %", {"x"}), "end %");
    EXPECT_EQ(Format("%5", {1}), "%5");
    EXPECT_EQ(Format("&Computer=%s&IP=%S", {"pc", "10.0.0.1"}), "&Computer=pc&IP=10.0.0.1");
}

TEST(TextFormat, MissingArgumentsVanishAndExtraOnesAreIgnored) {
    EXPECT_EQ(Format("File %s not found (%d)", {}), "File  not found ()");
    EXPECT_EQ(Format("%s", {"a", "b", 3}), "a");
}

TEST(TextFormat, MismatchedArgumentsAreShownSensibly) {
    EXPECT_EQ(Format("%s", {17}), "17");
    EXPECT_EQ(Format("%.1s", {-17}), "-17");
    EXPECT_EQ(Format("%d|%x", {"abc", "zz"}), "abc|zz");
    EXPECT_EQ(Format("[%4d]", {"ab"}), "[  ab]");
}

TEST(TextFormat, TextIsCopiedByteForByte) {
    const std::string bytes("\x00\xFF%s", 4);
    EXPECT_EQ(Format(bytes, {std::string_view("\xE4\xB8\xAD")}), std::string("\x00\xFF\xE4\xB8\xAD", 5));
}

TEST(TextFormat, HugeWidthIsBounded) {
    const std::string out = Format("%99999999999999999999d", {1});
    EXPECT_LE(out.size(), 1024u);
    EXPECT_EQ(out.back(), '1');
}

}  // namespace
}  // namespace kiv
