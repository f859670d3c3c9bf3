#include "launch/CredentialCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

using namespace std::string_literals;

TEST(CredentialCodecHex, DecodesPairsOfEitherCase) {
    EXPECT_EQ(HexToText("416243"), "AbC");
    EXPECT_EQ(HexToText("6a6B"), "jk");
    EXPECT_EQ(HexToText("FF80"), "\xFF\x80"s);
}

TEST(CredentialCodecHex, IgnoresOddLastDigitAndStopsAtFirstNonHexPair) {
    EXPECT_EQ(HexToText("41424"), "AB");
    EXPECT_EQ(HexToText("4142G34344"), "AB");  // "G3" ends the text even though hex follows
    EXPECT_EQ(HexToText("41 4243"), "A");
    EXPECT_EQ(HexToText("ZZ41"), "");
}

TEST(CredentialCodecHex, EndsAtFirstZeroByte) {
    EXPECT_EQ(HexToText("4142004344"), "AB");
    EXPECT_EQ(HexToText("0041"), "");
}

TEST(CredentialCodecHex, ShortTextIsEmpty) {
    EXPECT_EQ(HexToText(""), "");
    EXPECT_EQ(HexToText("4"), "");
}

TEST(CredentialCodecHex, EncodesUpperCasePairsAndRoundTrips) {
    EXPECT_EQ(TextToHex("\x01\xab"s), "01AB");
    EXPECT_EQ(TextToHex(""), "");
    const std::string bytes = "user\x7F\x80\xFE\xFF";
    EXPECT_EQ(HexToText(TextToHex(bytes)), bytes);
}

TEST(CredentialCodecBase64, PaddingMayBePresentOrAbsent) {
    EXPECT_EQ(Base64Decode("QQ=="), "A");
    EXPECT_EQ(Base64Decode("QQ"), "A");
    EXPECT_EQ(Base64Decode("QUI="), "AB");
    EXPECT_EQ(Base64Decode("QUI"), "AB");
    EXPECT_EQ(Base64Decode("QUJD"), "ABC");
    EXPECT_EQ(Base64Decode(""), "");
}

TEST(CredentialCodecBase64, ToleratesBytesOutsideTheAlphabet) {
    EXPECT_EQ(Base64Decode("QU\r\nJD"), "ABC");
    EXPECT_EQ(Base64Decode("Q!Q"), "A");
    EXPECT_EQ(Base64Decode("Q"), "");        // a single leftover sextet carries no byte
    EXPECT_EQ(Base64Decode("QUJDR"), "ABC");
    EXPECT_EQ(Base64Decode("===="), "");
    EXPECT_EQ(Base64Decode("\xFF\x80"s), "");
}

TEST(CredentialCodecBase64, EncodesWithPaddingAndRoundTripsEveryByte) {
    EXPECT_EQ(Base64Encode("A"), "QQ==");
    EXPECT_EQ(Base64Encode("AB"), "QUI=");
    EXPECT_EQ(Base64Encode("ABC"), "QUJD");
    EXPECT_EQ(Base64Encode("\xFB\xFF"s), "+/8=");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (std::size_t n = 0; n < 5; ++n) EXPECT_EQ(Base64Decode(Base64Encode(all.substr(n))), all.substr(n));
}

TEST(CredentialCodecCipher, EmptyTextStaysEmpty) {
    EXPECT_EQ(DecipherText("", kCipherStartKey, TCipherDirection::Decipher), "");
    EXPECT_EQ(DecipherText("", kCipherStartKey, TCipherDirection::Encipher), "");
}

// By hand, start key 8326 = 0x2086, enciphering "AB":
//   'A' 0x41 ^ 0x20 = 0x61; key = (0x61 + 8326) * 8617 + 9666 = 72590657 mod 65536 = 0xA541
//   'B' 0x42 ^ 0xA5 = 0xE7
TEST(CredentialCodecCipher, KnownTwoByteVector) {
    EXPECT_EQ(DecipherText("AB", kCipherStartKey, TCipherDirection::Encipher), "\x61\xE7"s);
    EXPECT_EQ(DecipherText("\x61\xE7"s, kCipherStartKey, TCipherDirection::Decipher), "AB");
}

TEST(CredentialCodecCipher, DirectionsInvertEachOtherAndKeepLength) {
    const std::string plain = "C:\\Program Files\\shell.exe\x00\xFF"s;
    for (const uint16_t key : {uint16_t{0}, kCipherStartKey, uint16_t{0xFFFF}}) {
        const std::string scrambled = DecipherText(plain, key, TCipherDirection::Encipher);
        ASSERT_EQ(scrambled.size(), plain.size());
        EXPECT_NE(scrambled, plain);
        EXPECT_EQ(DecipherText(scrambled, key, TCipherDirection::Decipher), plain);
    }
    // The feedback differs between the directions: using the wrong one garbles the tail.
    const std::string scrambled = DecipherText(plain, kCipherStartKey, TCipherDirection::Encipher);
    EXPECT_NE(DecipherText(scrambled, kCipherStartKey, TCipherDirection::Encipher), plain);
}

TEST(CredentialCodecCredential, PortalFormsDecode) {
    EXPECT_EQ(EncodeCredential("AB"), "5965633D");  // hex of "Yec=", base64 of 61 E7
    EXPECT_EQ(DecodeCredential("5965633D"), "AB");
    EXPECT_EQ(DecodeCredential(EncodeCredential("administrator")), "administrator");
    EXPECT_EQ(Base64Decode(EncodeShellPath("/usr/bin/shell")), DecipherText("/usr/bin/shell", kCipherStartKey,
                                                                             TCipherDirection::Encipher));
    EXPECT_EQ(DecodeCredential(""), "");
}

}  // namespace
}  // namespace kiv
