#include "launch/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

#include "launch/KivLink.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

constexpr std::string_view kNotALink = "Is not KIV protocol\r\neg:KIV://xxxx";
constexpr std::string_view kAddress = "http://portal.example/kiv?app=7";

std::string WindowsForm(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

class CommandLineTest : public ::testing::Test {
protected:
    // A home that holds none of the test's files, so they all go to the root share.
    CommandLineTest() : home_("HOME", "/nonexistent-kiv-home") {}

    TStartupTarget Interpret(const std::vector<std::string>& arguments) {
        return InterpretCommandLine(arguments, line_);
    }

    test::TempDir dir_;
    test::ScopedEnv home_;
    TCommandLine line_;
    const std::string link_ = MakeLink(kAddress);
};

TEST(CommandLineText, JoinsWithOneBlankAndTrimsOnlyTheEnds) {
    EXPECT_EQ(GetCommandLineText({}), "");
    EXPECT_EQ(GetCommandLineText({"a", "b"}), "a b");
    EXPECT_EQ(GetCommandLineText({"  a  ", "b", " "}), "a   b");
}

TEST(CommandLineText, FileUrisOfThisMachineBecomeLocalPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"file:///tmp/a%20b.kiv", "/tmp/a b.kiv"},
        {"FILE://localhost/x.kiv", "/x.kiv"},
        {"file:///bad%2", "/bad%2"},
        {"file://otherhost/x.kiv", "file://otherhost/x.kiv"},
        {"KIV://ABCD", "KIV://ABCD"},
    };
    for (const auto& [uri, path] : cases) EXPECT_EQ(LocalPathOfFileUri(uri), path) << uri;
}

TEST_F(CommandLineTest, ConnectionFileOfEitherCase) {
    for (const char* name : {"portal.KIV", "lower.kiv", "Mixed.Kiv"}) {
        const std::string path = dir_.Write(name, "[Farm]\n").string();
        const TStartupTarget target = Interpret({path});
        ASSERT_EQ(target.kind, TStartupTarget::Kind::ConnectionFile) << name;
        EXPECT_EQ(target.connectionFile, path);
        EXPECT_TRUE(line_.OpenFilePath.empty());
        EXPECT_FALSE(line_.VirtualFileMode);
    }
}

TEST_F(CommandLineTest, AMissingConnectionOrLinkFileIsNamed) {
    for (const char* name : {"gone.kiv", "gone.VYN"}) {
        const std::string path = (dir_.path() / name).string();
        const TStartupTarget missing = Interpret({path});
        EXPECT_EQ(missing.kind, TStartupTarget::Kind::Error) << name;
        EXPECT_EQ(missing.errorKey, "FileNotExist") << name;
        EXPECT_EQ(missing.errorText, path) << name;
    }
    EXPECT_EQ(Interpret({"KIV://gone.kiv"}).errorKey, "");  // a link is never taken for a file
    std::filesystem::create_directories(dir_.path() / "folder.kiv");
    EXPECT_EQ(Interpret({(dir_.path() / "folder.kiv").string()}).kind, TStartupTarget::Kind::Error);
}

TEST_F(CommandLineTest, ConnectionFileFollowedByOpenFailsAsALink) {
    const std::string kiv = dir_.Write("a.kiv", "[Farm]\n").string();
    const std::string document = dir_.Write("doc.txt", "x").string();
    const TStartupTarget target = Interpret({kiv, "/open", document});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Error);
    EXPECT_EQ(target.errorKey, "");
    EXPECT_EQ(target.errorText, kNotALink);
    EXPECT_EQ(line_.CommandText, kiv);
    EXPECT_EQ(line_.OpenFilePath, document);
}

TEST_F(CommandLineTest, OpenWithMissingDocumentNamesTheFile) {
    const std::string document = (dir_.path() / "missing.doc").string();
    const TStartupTarget target = Interpret({link_, "/open", document + "  "});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Error);
    EXPECT_EQ(target.errorKey, "FileNotExist");
    EXPECT_EQ(target.errorText, document);
    EXPECT_EQ(line_.OpenFilePath, document);
}

TEST_F(CommandLineTest, OpenWithDocumentLeavesTheLink) {
    const std::string document = dir_.Write("report 1.txt", "x").string();
    const TStartupTarget target = Interpret({link_ + " ", "/open", document});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
    EXPECT_EQ(target.address, kAddress);
    EXPECT_EQ(line_.CommandText, link_);
    EXPECT_EQ(line_.OpenFilePath, document);
}

TEST_F(CommandLineTest, OpenInsideAPathIsNoSwitch) {
    const std::string vyn = dir_.Write("openoffice/site.vyn", link_).string();
    const TStartupTarget target = Interpret({vyn});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
    EXPECT_EQ(target.address, kAddress);
    EXPECT_TRUE(line_.OpenFilePath.empty());
}

TEST_F(CommandLineTest, LinkWithTrailingSlashAndLowerCaseScheme) {
    const TStartupTarget target = Interpret({"kiv" + link_.substr(3) + "/"});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
    EXPECT_EQ(target.address, kAddress);
}

TEST_F(CommandLineTest, NotALinkGivesTheParserText) {
    const TStartupTarget target = Interpret({"http://portal/"});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Error);
    EXPECT_EQ(target.errorKey, "");
    EXPECT_EQ(target.errorText, kNotALink);
}

TEST_F(CommandLineTest, LinkFileLosesItsLineBreaks) {
    // The link broken over lines, as an editor may save it.
    const std::string text = link_.substr(0, 10) + "\r\n" + link_.substr(10) + "\r\n";
    const std::string vyn = dir_.Write("site.VYN", text).string();
    const TStartupTarget target = Interpret({vyn});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
    EXPECT_EQ(target.address, kAddress);
    EXPECT_EQ(line_.CommandText, link_);
}

TEST_F(CommandLineTest, LinkFileMayCarryADocumentLaunchWhateverItsLineEnds) {
    for (const char* lineEnd : {"\r\n", "\n", "\r", ""}) {
        const std::string vyn = dir_.Write("doc.vyn", link_ + "&/srv/share/a.xlsx/" + lineEnd).string();
        const TStartupTarget target = Interpret({vyn});
        ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
        EXPECT_EQ(target.address, kAddress);
        EXPECT_TRUE(line_.VirtualFileMode);
        EXPECT_EQ(line_.VirtualFileArg, "/srv/share/a.xlsx") << "line end " << testing::PrintToString(lineEnd);
    }
}

TEST_F(CommandLineTest, AmpersandSplitsAtTheFirstOneAndDropsOneSlash) {
    const TStartupTarget target = Interpret({link_ + "&C:/docs/a&b.docx//"});
    ASSERT_EQ(target.kind, TStartupTarget::Kind::Link);
    EXPECT_EQ(target.address, kAddress);
    EXPECT_TRUE(line_.VirtualFileMode);
    EXPECT_EQ(line_.VirtualFileArg, "C:/docs/a&b.docx/");
    EXPECT_EQ(line_.CommandText, link_);
}

TEST_F(CommandLineTest, StateOfAnEarlierReadingIsCleared) {
    Interpret({link_ + "&x"});
    ASSERT_TRUE(line_.VirtualFileMode);
    Interpret({link_});
    EXPECT_FALSE(line_.VirtualFileMode);
    EXPECT_TRUE(line_.VirtualFileArg.empty());
}

TEST(CommandLineOverrides, FullScreenTakesTheUnplacedWindowSize) {
    TKIVFile record;
    record.ScreenFull = 1;
    record.Width = 1024;
    record.Height = 768;
    ApplyScreenFullSize(record, kUnplacedWindowWidth, kUnplacedWindowHeight);
    EXPECT_EQ(record.Width, 792);
    EXPECT_EQ(record.Height, 573);

    TKIVFile windowed;
    windowed.ScreenFull = 0;
    windowed.Width = 1024;
    windowed.Height = 768;
    ApplyScreenFullSize(windowed, kUnplacedWindowWidth, kUnplacedWindowHeight);
    EXPECT_EQ(windowed.Width, 1024);
    EXPECT_EQ(windowed.Height, 768);
}

TEST(CommandLineOverrides, DocumentLaunchMakesASharedSeamlessSession) {
    TKIVFile record;
    record.ScreenFull = 1;
    record.AppTypeMode = 1;
    record.AppID = "APP42";
    record.AppName = "Editor";
    TCommandLine line;
    line.VirtualFileMode = true;
    line.VirtualFileArg = std::string(300, 'v');
    ApplyCommandLineOverrides(record, line);
    EXPECT_EQ(record.ScreenFull, 3);
    EXPECT_TRUE(record.ShareSession);
    EXPECT_EQ(record.AppTypeMode, 5);
    EXPECT_EQ(record.AppID, "APPVirFile");
    EXPECT_TRUE(record.AppName.empty());
    EXPECT_EQ(record.AppParam.str(), std::string(255, 'v'));
    EXPECT_EQ(record.RedirectDrive, 0);
}

TEST_F(CommandLineTest, OpenDocumentReachesTheServerThroughTheRootShareAndWins) {
    const std::string document = dir_.Write("sub/plan.ods", "x").string();
    ASSERT_EQ(Interpret({link_ + "&other.doc", "/open", document}).kind, TStartupTarget::Kind::Link);
    ASSERT_TRUE(line_.VirtualFileMode);

    TKIVFile record;
    ApplyCommandLineOverrides(record, line_);
    const std::string expected = "\\\\tsclient\\root" + WindowsForm(document);
    EXPECT_EQ(record.AppParam, expected);
    EXPECT_EQ(line_.OpenFilePath, expected);
    EXPECT_EQ(record.RedirectDrive, 1);
    EXPECT_EQ(record.AppID, "APPVirFile");  // the document launch itself still applies
    EXPECT_EQ(record.AppParam.str().rfind("\\\\tsclient\\root\\", 0), 0u);
}

TEST_F(CommandLineTest, OpenDocumentInHomeUsesTheHomeShare) {
    test::ScopedEnv home("HOME", dir_.path().string());
    const std::string document = dir_.Write("Documents/a.txt", "x").string();
    ASSERT_EQ(Interpret({link_, "/open", document}).kind, TStartupTarget::Kind::Link);
    TKIVFile record;
    ApplyCommandLineOverrides(record, line_);
    EXPECT_EQ(record.AppParam, "\\\\tsclient\\home\\Documents\\a.txt");
}

}  // namespace
}  // namespace kiv
