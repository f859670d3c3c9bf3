#include <gtest/gtest.h>

#include "launch/ConnectionFileReader.h"
#include "launch/CredentialCodec.h"
#include "launch/SessionKeys.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

TKIVFile Read(std::string_view text, int32_t expectedResult = 0) {
    const auto ini = TIniImage::FromText(text);
    TKIVFile record;
    EXPECT_EQ(ReadConnectionFile(&ini, record), expectedResult);
    return record;
}

TEST(ConnectionFileReader, EmptySectionsGiveTheDefaults) {
    const TKIVFile r = Read("[Farm]\n");
    EXPECT_EQ(r.SessionID, "SID00000000");
    EXPECT_EQ(r.AuthType, -1);
    EXPECT_EQ(r.FarmSessionType, -1);
    EXPECT_EQ(r.AppTypeMode, -1);
    EXPECT_EQ(r.SessionType, 1);
    EXPECT_EQ(r.RedirectMyDoc, 1);
    EXPECT_EQ(r.ServerPort, 5872);
    EXPECT_TRUE(r.ServerHost.empty());
    EXPECT_FALSE(r.ShareSession);
    EXPECT_TRUE(r.MyDocPath.empty());  // drives are not redirected
}

TEST(ConnectionFileReader, MissingImageIsAnError) {
    TKIVFile record;
    EXPECT_EQ(ReadConnectionFile(nullptr, record), -1);
}

TEST(ConnectionFileReader, ATextWithoutAnyOfItsSectionsIsUnreadable) {
    for (const char* text : {"", "<html><body>Not found</body></html>", "[Other]\nServer_Address=h:1\n"})
        Read(text, -1);
    for (const char* section : {"watermark", "FARM", "Session", "application", "Server"})
        Read("[" + std::string(section) + "]\n", 0);
}

TEST(ConnectionFileReader, ServerAddressSplitsIntoHostAndPort) {
    EXPECT_EQ(Read("[Server]\nServer_Address=10.1.2.3:3390").ServerHost, "10.1.2.3");
    EXPECT_EQ(Read("[Server]\nServer_Address=10.1.2.3:3390").ServerPort, 3390);
    const TKIVFile noPort = Read("[Server]\nServer_Address=10.1.2.3");
    EXPECT_EQ(noPort.ServerHost, "");  // no ":" gives an empty host
    EXPECT_EQ(noPort.ServerPort, 5872);
    EXPECT_EQ(noPort.ServerAddress, "10.1.2.3");
    EXPECT_EQ(Read("[Server]\nServer_Address=10.1.2.3:abc").ServerPort, 5872);
    EXPECT_EQ(Read("[Server]\nServer_Address=10.1.2.3:").ServerPort, 5872);
    EXPECT_EQ(Read("[Server]\nServer_Address=h:0x10").ServerPort, 5872);  // decimal only
    EXPECT_EQ(SplitHostPort("a:b:c", 0), "a");
    EXPECT_EQ(SplitHostPort("a:b:c", 1), "b:c");
    EXPECT_EQ(SplitHostPort("abc", 1), "");
}

TEST(ConnectionFileReader, FarmHostAndProtocolAreCut) {
    const TKIVFile r = Read("[Farm]\nFarmHost=portal:8080\nFarmprotocol=HTTP/1.1\n");
    EXPECT_EQ(r.FarmHost, "portal");
    EXPECT_EQ(r.FarmProtocol, "HTTP");
    EXPECT_EQ(Read("[Farm]\nFarmprotocol=https\n").FarmProtocol, "https");
}

TEST(ConnectionFileReader, TextsAreCutToTheirCapacity) {
    const TKIVFile r = Read("[Farm]\nSessionID=SID123456789012\n[Server]\nServer_Address=" + std::string(60, 'h') +
                            ":1\n");
    EXPECT_EQ(r.SessionID, "SID12345678");
    EXPECT_EQ(r.ServerHost.size(), 50u);
    EXPECT_EQ(r.ServerAddress.size(), 62u);
    const TKIVFile longWatermark = Read("[watermark]\nenable=1\nwatermarkstring=" + std::string(5000, 'w') + "\n");
    EXPECT_EQ(longWatermark.Watermark.size(), 5000u);  // unlimited
}

TEST(ConnectionFileReader, WatermarkNeedsEnableOtherThanZero) {
    EXPECT_EQ(Read("[watermark]\nenable=0\nwatermarkstring=W\n").Watermark, "");
    EXPECT_EQ(Read("[watermark]\nwatermarkstring=W\n").Watermark, "");
    EXPECT_EQ(Read("[watermark]\nenable=1\n").Watermark, "");
    EXPECT_EQ(Read("[watermark]\nenable=yes\nwatermarkstring=W\n").Watermark, "W");
    EXPECT_EQ(Read("[watermark]\nenable=\nwatermarkstring=W\n").Watermark, "W");  // present, not "0"
}

TEST(ConnectionFileReader, WholeDesktopIsNeverSeamlessNorShared) {
    const TKIVFile desktop = Read("[Session]\nScreen_FULL=3\nShareSession=1\n[Application]\nApp_type_mode=1\n");
    EXPECT_EQ(desktop.ScreenFull, 1);
    EXPECT_FALSE(desktop.ShareSession);
    const TKIVFile app = Read("[Session]\nScreen_FULL=3\nShareSession=1\n[Application]\nApp_type_mode=2\n");
    EXPECT_EQ(app.ScreenFull, 3);
    EXPECT_TRUE(app.ShareSession);
}

TEST(ConnectionFileReader, KeyNamesInOtherCaseAndRepeatedKeys) {
    const TKIVFile r = Read("[SERVER]\nSERVER_ADDRESS = h:1\nserver_name=first\nServer_Name=second\n[farm]\nfarmhost=p\n");
    EXPECT_EQ(r.ServerHost, "h");
    EXPECT_EQ(r.ServerName, "second");
    EXPECT_EQ(r.FarmHost, "p");
}

TEST(ConnectionFileReader, ShellPathIsDecodedAndLogonFieldsKeptAsStored) {
    const std::string stored = EncodeShellPath("c:\\apps\\shell.exe");
    const TKIVFile r = Read("[Server]\nKivShellPath=" + stored + "\nLogin_User=414243\nLogin_domain=D\n");
    EXPECT_EQ(r.ShellPath, "c:\\apps\\shell.exe");
    EXPECT_EQ(r.LoginUser, "414243");
    EXPECT_EQ(r.LoginDomain, "D");
    EXPECT_EQ(Read("[Server]\nKivShellPath=\n").ShellPath, "");
}

class SharedFolders : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home.path() / "Desktop");
        std::filesystem::create_directories(home.path() / "Docs");
        home.Write(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
    }
    test::TempDir home;
    test::ScopedEnv homeEnv{"HOME", home.path().string()};
    test::ScopedEnv configEnv{"XDG_CONFIG_HOME", (home.path() / ".config").string()};
};

TEST_F(SharedFolders, FoldersAreHandedOverOnlyWithRedirectedDrives) {
    const TKIVFile both = Read("[Session]\nRedirect_drive=1\nRedirect_desktop=1\n");
    EXPECT_EQ(both.DesktopPath, "home\\Desktop");
    EXPECT_EQ(both.MyDocPath, "home\\Docs");  // Redirect_mydoc defaults to 1
    const TKIVFile noDrives = Read("[Session]\nRedirect_drive=0\nRedirect_desktop=1\nRedirect_mydoc=1\n");
    EXPECT_EQ(noDrives.DesktopPath, "");
    EXPECT_EQ(noDrives.MyDocPath, "");
    const TKIVFile noDocs = Read("[Session]\nRedirect_drive=1\nRedirect_mydoc=0\n");
    EXPECT_EQ(noDocs.DesktopPath, "");
    EXPECT_EQ(noDocs.MyDocPath, "");
}

TEST_F(SharedFolders, FoldersOfAChineseDesktopAreInTheSystemCodePage) {
    std::filesystem::create_directories(home.path() / "桌面");
    std::filesystem::create_directories(home.path() / "文档");
    home.Write(".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
    test::ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    const TKIVFile r = Read("[Session]\nRedirect_drive=1\nRedirect_desktop=1\n");
    EXPECT_EQ(r.DesktopPath, "home\\\xD7\xC0\xC3\xE6");
    EXPECT_EQ(r.MyDocPath, "home\\\xCE\xC4\xB5\xB5");
}

TEST_F(SharedFolders, MissingFolderLeavesThePathEmpty) {
    std::filesystem::remove(home.path() / "Docs");
    EXPECT_EQ(Read("[Session]\nRedirect_drive=1\n").MyDocPath, "");
}

class LocalProperties : public ::testing::Test {
protected:
    int32_t Apply(TKIVFile& record, std::string_view localIni) {
        return ApplyLocalProperties(record, dir.Write("KivClient.ini", localIni));
    }
    test::TempDir dir;
};

TEST_F(LocalProperties, LocalFileOnlyNarrowsWhatTheFileSwitchedOn) {
    TKIVFile on;
    on.RedirectUsb = 1;
    Apply(on, "[Local Property]\nMapUSB=0\n");
    EXPECT_EQ(on.RedirectUsb, 0);
    TKIVFile off;
    off.RedirectUsb = 0;
    Apply(off, "[Local Property]\nMapUSB=1\n");
    EXPECT_EQ(off.RedirectUsb, 0);
}

TEST_F(LocalProperties, DefaultsOfTheLocalFile) {
    TKIVFile r;
    r.RedirectUsb = r.RedirectPort = r.RedirectDrive = r.RedirectAudio = r.RedirectPrinter = 1;
    r.RedirectTray = r.RedirectClip = 1;
    r.Color = 5;
    EXPECT_EQ(ApplyLocalProperties(r, dir.path() / "absent.ini"), 30000);
    EXPECT_EQ(r.RedirectUsb, 1);
    EXPECT_EQ(r.RedirectPort, 1);
    EXPECT_EQ(r.RedirectDrive, 1);
    EXPECT_EQ(r.RedirectAudio, 0);  // MapSound defaults to 0
    EXPECT_EQ(r.RedirectPrinter, 0);
    EXPECT_EQ(r.RedirectTray, 1);
    EXPECT_EQ(r.RedirectClip, 1);
    EXPECT_EQ(r.RedirectDDE, 0);  // never in the file, so never 1
    EXPECT_EQ(r.RedirectIME, 0);
    EXPECT_EQ(r.Color, 4);
}

TEST_F(LocalProperties, ColorBoundImeConversionAndTimeOut) {
    TKIVFile four;
    four.Color = 4;
    const int32_t timeout =
        Apply(four, "[Local Property]\nColor=3\nUseServerIME=1\nCodeConversion=2\n[KivClient]\nTimeOut=45000\n");
    EXPECT_EQ(four.Color, 3);
    EXPECT_EQ(four.UseServerIME, 1);
    EXPECT_EQ(four.CodeConversion, 2);
    EXPECT_EQ(timeout, 45000);
    TKIVFile two;
    two.Color = 2;
    Apply(two, "[Local Property]\nColor=3\n");
    EXPECT_EQ(two.Color, 2);
}

TEST(SessionKeys, BothKinds) {
    TKIVFile r;
    r.ServerHost = " host ";
    r.ServerPort = 3389;
    r.LoginDomain = "DOM";
    r.LoginUser = "55534552";
    r.LoginPassWord = "50";
    r.ScreenFull = 3;
    r.UserName = "20416E6E20";  // " Ann "
    r.PassWord = "5365637265740045";  // "Secret", then a zero byte ends it
    EXPECT_EQ(BuildSessionName(r, SessionNameKind), "host|3389|DOM|55534552|50|3");
    EXPECT_EQ(BuildSessionName(r, VirFileSessionNameKind), "ann|secret|3");
}

}  // namespace
}  // namespace kiv
