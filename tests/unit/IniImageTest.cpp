#include <gtest/gtest.h>

#include "infra/IniImage.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

TEST(IniImage, LineEndsTrimmingAndComments) {
    const auto ini = TIniImage::FromText(
        "[A]\r\nk1=v1\rk2=v2\n\t k3 \t=  v3 \x01\r\n;k4=comment\n  ;k5=indented comment\nnoequals\n\nk6=a=b\n");
    EXPECT_EQ(ini.ReadString("A", "k1", "-"), "v1");
    EXPECT_EQ(ini.ReadString("A", "k2", "-"), "v2");
    EXPECT_EQ(ini.ReadString("A", "k3", "-"), "v3");
    EXPECT_EQ(ini.ReadString("A", "k4", "-"), "-");
    EXPECT_EQ(ini.ReadString("A", "k5", "-"), "-");
    EXPECT_EQ(ini.ReadString("A", "noequals", "-"), "-");
    EXPECT_EQ(ini.ReadString("A", "k6", "-"), "a=b");  // only the first "=" separates
    EXPECT_EQ(ini.KeyCount("A"), 4u);
}

TEST(IniImage, NamesCompareCaseInsensitively) {
    const auto ini = TIniImage::FromText("[Server]\nServer_Address=h:1\n[ farm ]\nFarmHost=p\n");
    EXPECT_EQ(ini.ReadString("SERVER", "server_address", ""), "h:1");
    EXPECT_EQ(ini.ReadString("Farm", "FARMHOST", ""), "p");  // the section name is trimmed too
}

TEST(IniImage, LastDuplicateSectionWinsWithOnlyItsOwnKeys) {
    const auto ini = TIniImage::FromText("[S]\na=1\nb=2\n[T]\nx=9\n[s]\na=3\na=4\n");
    EXPECT_EQ(ini.ReadString("S", "a", ""), "4");  // and the last duplicate key
    EXPECT_FALSE(ini.ValueExists("S", "b"));
    EXPECT_EQ(ini.ReadString("T", "x", ""), "9");
}

TEST(IniImage, EmptyValueIsNotTheDefault) {
    const auto ini = TIniImage::FromText("[S]\nempty=\nblank =   \n");
    EXPECT_EQ(ini.ReadString("S", "empty", "dflt"), "");
    EXPECT_EQ(ini.ReadString("S", "blank", "dflt"), "");
    EXPECT_EQ(ini.ReadString("S", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Nope", "empty", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("S", "empty", 7), 7);
}

TEST(IniImage, KeysBeforeAnySectionAreIgnored) {
    const auto ini = TIniImage::FromText("orphan=1\n[S]\nk=v\n");
    EXPECT_FALSE(ini.ValueExists("", "orphan"));
    EXPECT_EQ(ini.KeyCount("S"), 1u);
}

TEST(IniImage, IntegersDecimalAndHex) {
    const auto ini = TIniImage::FromText(
        "[N]\nd=42\nneg=-17\nplus=+5\nhx=0x1F\nHX2=0XfF\ndollar=$10\nbare0x=0x\nbaredollar=$\nword=12ab\n"
        "min=-2147483648\nover=2147483648\nallbits=$FFFFFFFF\ntoobig=0x100000000\nspace=1 2\n");
    EXPECT_EQ(ini.ReadInteger("N", "d", 0), 42);
    EXPECT_EQ(ini.ReadInteger("N", "neg", 0), -17);
    EXPECT_EQ(ini.ReadInteger("N", "plus", 0), 5);
    EXPECT_EQ(ini.ReadInteger("N", "hx", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "hx2", 0), 255);
    EXPECT_EQ(ini.ReadInteger("N", "dollar", 0), 16);
    EXPECT_EQ(ini.ReadInteger("N", "bare0x", -1), -1);  // "0x" needs more than two characters
    EXPECT_EQ(ini.ReadInteger("N", "baredollar", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "word", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "min", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("N", "over", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "allbits", 0), -1);  // hex takes all 32 bits
    EXPECT_EQ(ini.ReadInteger("N", "toobig", 3), 3);
    EXPECT_EQ(ini.ReadInteger("N", "space", 3), 3);
}

TEST(IniImage, BooleansAreIntegers) {
    const auto ini = TIniImage::FromText("[B]\nzero=0\none=1\ntwo=2\nhex=$0\ntext=true\n");
    EXPECT_FALSE(ini.ReadBool("B", "zero", true));
    EXPECT_TRUE(ini.ReadBool("B", "one", false));
    EXPECT_TRUE(ini.ReadBool("B", "two", false));
    EXPECT_FALSE(ini.ReadBool("B", "hex", true));
    EXPECT_TRUE(ini.ReadBool("B", "text", true));  // not an integer: the default
    EXPECT_FALSE(ini.ReadBool("B", "text", false));
    EXPECT_TRUE(ini.ReadBool("B", "missing", true));
}

TEST(IniImage, NulAndBinaryBytesAreBytesOfTheLine) {
    using namespace std::string_literals;
    const std::string text = "[S]\nk=a\0b\xff\xfe\n\0\0\0\nafter=1\n[\xd6\xd0]\n\xce\xc4=\x80\x81\n"s;
    const auto ini = TIniImage::FromText(text);
    EXPECT_EQ(ini.ReadString("S", "k", ""), "a\0b\xff\xfe"s);
    EXPECT_EQ(ini.ReadString("S", "after", ""), "1");  // nothing after the NULs was lost
    EXPECT_EQ(ini.ReadString("\xd6\xd0", "\xce\xc4", ""), "\x80\x81");
}

TEST(IniImage, UnterminatedLastLineAndLoneBrackets) {
    const auto ini = TIniImage::FromText("[S]\nk=v\n[\n]\n[]\nz=1");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
    EXPECT_EQ(ini.ReadString("", "z", ""), "1");  // "[]" is a section with the empty name
}

TEST(IniImage, FromFileReadsBytesAndRefusesWhatIsNotAFile) {
    test::TempDir dir;
    const auto path = dir.Write("a.ini", "[S]\r\nk=v\r\n");
    const auto ini = TIniImage::FromFile(path);
    ASSERT_TRUE(ini.has_value());
    EXPECT_EQ(ini->ReadString("S", "k", ""), "v");
    EXPECT_FALSE(TIniImage::FromFile(dir.path() / "missing.ini").has_value());
    EXPECT_FALSE(TIniImage::FromFile(dir.path()).has_value());
}

}  // namespace
}  // namespace kiv

namespace kiv {
namespace {

TEST(IniImage, EntriesKeepTheFileOrder) {
    const auto ini = TIniImage::FromText("[A]\nzeta=1\nalpha=2\nMid=3\nzeta=4\n");
    const std::vector<std::pair<std::string, std::string>> expected{{"zeta", "4"}, {"alpha", "2"}, {"mid", "3"}};
    EXPECT_EQ(ini.Entries("a"), expected);
    EXPECT_TRUE(ini.Entries("missing").empty());
}

}  // namespace
}  // namespace kiv
