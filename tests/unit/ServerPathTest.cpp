#include "launch/ServerPath.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kiv {
namespace {

TEST(ServerPath, HomeFolderAndBelowGoToTheHomeShare) {
    EXPECT_EQ(ToServerPath("/home/ann/Desktop", "/home/ann"), "home\\Desktop");
    EXPECT_EQ(ToServerPath("/home/ann/Documents/a b/c.txt", "/home/ann"), "home\\Documents\\a b\\c.txt");
    EXPECT_EQ(ToServerPath("/home/ann", "/home/ann"), "home");
    EXPECT_EQ(ToServerPath("/home/ann/", "/home/ann/"), "home");
}

TEST(ServerPath, HomeIsComparedByComponentsNotPrefix) {
    EXPECT_EQ(ToServerPath("/home/ann2/x", "/home/ann"), "root\\home\\ann2\\x");
    EXPECT_EQ(ToServerPath("/home", "/home/ann"), "root\\home");
}

TEST(ServerPath, OtherAbsolutePathsGoToTheRootShare) {
    EXPECT_EQ(ToServerPath("/tmp/a.txt", "/home/ann"), "root\\tmp\\a.txt");
    EXPECT_EQ(ToServerPath("/", "/home/ann"), "root");
    EXPECT_EQ(ToServerPath("/tmp/a.txt", ""), "root\\tmp\\a.txt");
    EXPECT_EQ(ToServerPath("/tmp/a.txt", "relative/home"), "root\\tmp\\a.txt");
}

TEST(ServerPath, NormalisesLexically) {
    EXPECT_EQ(ToServerPath("//tmp///a.txt", "/home/ann"), "root\\tmp\\a.txt");
    EXPECT_EQ(ToServerPath("/tmp/dir/", "/home/ann"), "root\\tmp\\dir");
    EXPECT_EQ(ToServerPath("/home//ann/./Desktop", "//home/ann//"), "home\\Desktop");
    // ".." cannot climb out of the root, and leaving the home folder leaves its share.
    EXPECT_EQ(ToServerPath("/../../etc", "/home/ann"), "root\\etc");
    EXPECT_EQ(ToServerPath("/home/ann/../bob/x", "/home/ann"), "root\\home\\bob\\x");
    // Names that merely look like path syntax elsewhere are kept as they are.
    EXPECT_EQ(ToServerPath("/tmp/...x/a\\b", "/home/ann"), "root\\tmp\\...x\\a\\b");
}

TEST(ServerPath, RelativeOrEmptyGivesNothing) {
    EXPECT_EQ(ToServerPath("", "/home/ann"), "");
    EXPECT_EQ(ToServerPath("Desktop", "/home/ann"), "");
    EXPECT_EQ(ToServerPath("./a", "/home/ann"), "");
    EXPECT_EQ(ToTsClientPath("a.txt", "/home/ann"), "");
}

TEST(ServerPath, TsClientFormPrefixesTheShare) {
    EXPECT_EQ(ToTsClientPath("/tmp/a.txt", "/home/ann"), "\\\\tsclient\\root\\tmp\\a.txt");
    EXPECT_EQ(ToTsClientPath("/home/ann/doc.odt", "/home/ann"), "\\\\tsclient\\home\\doc.odt");
}

TEST(ServerPath, HomeFolderComesFromTheEnvironment) {
    {
        test::ScopedEnv home("HOME", "/home/somebody");
        EXPECT_EQ(HomeFolder(), "/home/somebody");
    }
    test::ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(HomeFolder(), "");
}

}  // namespace
}  // namespace kiv
