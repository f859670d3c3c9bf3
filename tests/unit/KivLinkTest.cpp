#include "launch/KivLink.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/CredentialCodec.h"

namespace kiv {
namespace {

using namespace std::string_literals;

constexpr std::string_view kNotALink = "Is not KIV protocol\r\neg:KIV://xxxx";

// "http://p/" scrambled with the link constants, base64 "VAfekSJgqc3b", then hex.
constexpr std::string_view kPortalLink = "KIV://564166656B534A6771633362";

TEST(KivLinkParse, DecodesKnownLink) {
    std::string result;
    ASSERT_TRUE(ParseLink(kPortalLink, result));
    EXPECT_EQ(result, "http://p/");
}

TEST(KivLinkParse, AcceptsTrailingSlashAndAnySchemeCase) {
    std::string result;
    ASSERT_TRUE(ParseLink(std::string(kPortalLink) + "/", result));
    EXPECT_EQ(result, "http://p/");
    ASSERT_TRUE(ParseLink("kiv://" + std::string(kPortalLink.substr(6)), result));
    EXPECT_EQ(result, "http://p/");
    ASSERT_TRUE(ParseLink("Kiv://" + std::string(kPortalLink.substr(6)) + "/", result));
    EXPECT_EQ(result, "http://p/");
}

TEST(KivLinkParse, RejectsOtherTextsWithTheParserText) {
    for (const std::string_view text : {"", "KIV:/", "KIV:", "http://portal/", "KIV:\\\\41", "/tmp/a.kiv",
                                        " KIV://41"}) {
        std::string result = "unchanged";
        EXPECT_FALSE(ParseLink(text, result)) << text;
        EXPECT_EQ(result, kNotALink) << text;
    }
}

TEST(KivLinkParse, EmptyOrUndecodablePayloadGivesEmptyAddress) {
    std::string result = "x";
    EXPECT_TRUE(ParseLink("KIV://", result));
    EXPECT_EQ(result, "");
    EXPECT_TRUE(ParseLink("KIV://zz", result));
    EXPECT_EQ(result, "");
}

TEST(KivLinkScramble, KeyRunsOverTheLowByteAndWraps) {
    // Key 0x5A3C, then 0x5A3C + 0x9E37 = 0xF873: low bytes 0x3C, 0x73.
    EXPECT_EQ(DescrambleLink("\x00\x00"s), "\x3C\x73"s);
    // After 65536 bytes the key has wrapped through 2^32 many times without trouble.
    const std::string zeros(70000, '\0');
    const std::string stream = DescrambleLink(zeros);
    ASSERT_EQ(stream.size(), zeros.size());
    EXPECT_EQ(DescrambleLink(stream), zeros);
}

TEST(KivLinkMake, RoundTripsAnyAddress) {
    for (const std::string& address : {"http://portal.example:8080/kiv/get.aspx?id=7"s, ""s, "a"s,
                                       "\xE4\xB8\xAD\xE6\x96\x87/\xFF\x80\x01"s, "with\0nul"s}) {
        const std::string link = MakeLink(address);
        EXPECT_EQ(link.substr(0, 6), "KIV://");
        std::string result;
        ASSERT_TRUE(ParseLink(link, result));
        EXPECT_EQ(result, address);
        ASSERT_TRUE(ParseLink(link + "/", result));
        EXPECT_EQ(result, address);
    }
    EXPECT_EQ(MakeLink("http://p/"), kPortalLink);
}

}  // namespace
}  // namespace kiv
