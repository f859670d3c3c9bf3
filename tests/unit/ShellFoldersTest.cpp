#include "launch/ShellFolders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;

// A home folder and a config folder of the test's own, with user-dirs.dirs in it.
class ShellFoldersTest : public ::testing::Test {
protected:
    ShellFoldersTest()
        : home_("HOME", (dir_.path() / "home").string()),
          config_("XDG_CONFIG_HOME", (dir_.path() / "config").string()) {
        fs::create_directories(dir_.path() / "home");
    }
    fs::path Home() const { return dir_.path() / "home"; }
    void MakeFolder(const fs::path& path) const { fs::create_directories(path); }
    void WriteUserDirs(std::string_view text) const { dir_.Write("config/user-dirs.dirs", text); }

    test::TempDir dir_;
    test::ScopedEnv home_;
    test::ScopedEnv config_;
};

TEST_F(ShellFoldersTest, ReadsTheXdgLinesAndExpandsHome) {
    MakeFolder(Home() / "Bureau");
    MakeFolder(Home() / "Mes documents");
    WriteUserDirs(
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/\"\n"
        "XDG_DOCUMENTS_DIR=\"${HOME}/Mes documents\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), (Home() / "Bureau").string());
    EXPECT_EQ(GetShellFolder("Personal"), (Home() / "Mes documents").string());
}

TEST_F(ShellFoldersTest, AbsoluteValuesAndTheLastAssignmentWin) {
    MakeFolder(dir_.path() / "elsewhere");
    MakeFolder(Home() / "Desktop");
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n  XDG_DESKTOP_DIR = \"" + (dir_.path() / "elsewhere").string() +
                  "\"  \r\n");
    EXPECT_EQ(GetShellFolder("Desktop"), (dir_.path() / "elsewhere").string());
}

TEST_F(ShellFoldersTest, MissingFileOrLineFallsBackToTheDefaults) {
    MakeFolder(Home() / "Desktop");
    MakeFolder(Home() / "Documents");
    EXPECT_EQ(GetShellFolder("Desktop"), (Home() / "Desktop").string());
    WriteUserDirs("XDG_MUSIC_DIR=\"$HOME/Music\"\n");
    EXPECT_EQ(GetShellFolder("Personal"), (Home() / "Documents").string());
}

TEST_F(ShellFoldersTest, NonExistingFolderGivesEmpty) {
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/Nowhere\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), "");
    EXPECT_EQ(GetShellFolder("Personal"), "");  // default ~/Documents does not exist
    dir_.Write("home/file", "x");
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/file\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), "");
}

TEST_F(ShellFoldersTest, UnsetVariableKeepsTheRawValue) {
    test::ScopedEnv unset("KIV_NO_SUCH_VARIABLE", std::nullopt);
    // A folder really named with the reference: only the raw value finds it.
    const fs::path literal = dir_.path() / "$KIV_NO_SUCH_VARIABLE";
    MakeFolder(literal);
    WriteUserDirs("XDG_DESKTOP_DIR=\"" + literal.string() + "\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), literal.string());
    WriteUserDirs("XDG_DESKTOP_DIR=\"$KIV_NO_SUCH_VARIABLE/x\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), "");
}

TEST_F(ShellFoldersTest, FolderPointingAtHomeIsSwitchedOff) {
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), "");
}

TEST_F(ShellFoldersTest, OtherNamesGiveEmpty) {
    MakeFolder(Home() / "Desktop");
    EXPECT_EQ(GetShellFolder("Music"), "");
    EXPECT_EQ(GetShellFolder(""), "");
    EXPECT_EQ(GetShellFolder("desktop"), (Home() / "Desktop").string());  // names compare as registry names do
}

TEST_F(ShellFoldersTest, DefaultConfigFolderIsUnderHome) {
    test::ScopedEnv noConfig("XDG_CONFIG_HOME", std::nullopt);
    MakeFolder(Home() / "Schreibtisch");
    dir_.Write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), (Home() / "Schreibtisch").string());
}

}  // namespace
}  // namespace kiv
