// kivtool run as support staff run it: a real process, its JSON read back.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "launch/CredentialCodec.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

using Json = nlohmann::json;

struct TRun {
    int exitCode = -1;
    std::string out;
    Json json() const { return Json::parse(out); }
};

// Runs kivtool with the given arguments and extra environment, in a clean
// per-test home so no user setting leaks in.
class Kivtool : public ::testing::Test {
protected:
    TRun Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
        test::ChildProcess::Options options;
        options.unsetEnv = {"LC_ALL", "LC_CTYPE", "LC_MESSAGES"};
        options.env = {{"HOME", home.path().string()},
                       {"XDG_CONFIG_HOME", (home.path() / "config").string()},
                       {"XDG_STATE_HOME", (home.path() / "state").string()},
                       {"KIV_MACHINE_SETTINGS", (home.path() / "registry.ini").string()},
                       {"LANG", "en_US.UTF-8"}};
        for (const auto& [name, value] : env) options.env[name] = value;
        std::vector<std::string> argv{KIVTOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        const test::ProgramRun run = test::RunToEnd(argv, options);
        return {run.exitCode, run.out};
    }

    test::TempDir home;
    test::TempDir files;
};

TEST_F(Kivtool, ReadPrintsEveryFieldWithTypes) {
    const auto kiv = files.Write("app.kiv",
                                 "[Farm]\r\nFarmHost=portal:8080\r\n[Session]\r\nShareSession=1\r\nScreen_FULL=3\r\n"
                                 "Redirect_usb=1\r\n[Server]\r\nServer_Address=127.0.0.1:3390\r\n"
                                 "[Application]\r\nApp_name=Caf\xe9\r\n");
    const auto local = files.Write("KivClient.ini", "[Local Property]\nMapUSB=0\n[KivClient]\nTimeOut=12000\n");
    const TRun run = Run({"read", kiv.string(), "--local-ini", local.string()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const Json j = run.json();
    EXPECT_EQ(j["Result"], 0);
    EXPECT_EQ(j["LogonTimeout"], 12000);
    EXPECT_EQ(j["FarmHost"], "portal");
    EXPECT_EQ(j["ServerPort"], 3390);
    EXPECT_EQ(j["ShareSession"], true);
    EXPECT_EQ(j["DeleteAfterRead"], false);
    EXPECT_EQ(j["RedirectUsb"], 0);
    EXPECT_EQ(j["AppName"], "Caf\u00e9");  // code page 1252 shown as UTF-8
    EXPECT_EQ(j["SessionID"], "SID00000000");
    ASSERT_TRUE(j["ProxySet"].is_object());
    EXPECT_EQ(j["ProxySet"].size(), 5u);
    EXPECT_EQ(j["ProxySet"]["ProxyType"], 0);
    for (const char* field : {"FarmName", "Watermark", "ServerSessionNo", "RedirectDDE", "DesktopPath", "MyDocPath",
                              "ShellPath", "X64", "AppParam", "LoginPassWord", "CursorBlinking"})
        EXPECT_TRUE(j.contains(field)) << field;
}

TEST_F(Kivtool, ReadDecodesTextsInTheSystemCodePage) {
    // "中文" in code page 936, read on a Simplified Chinese machine.
    const auto kiv = files.Write("cn.kiv", "[Application]\nApp_name=\xd6\xd0\xce\xc4\n");
    const TRun run = Run({"read", kiv.string()}, {{"LANG", "zh_CN.UTF-8"}});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.json()["AppName"], "\u4e2d\u6587");
}

TEST_F(Kivtool, ReadOfAMissingFileReportsMinusOne) {
    const TRun run = Run({"read", (files.path() / "nope.kiv").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.json()["Result"], -1);
}

TEST_F(Kivtool, WrongUsageExitsTwo) {
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Run({"read"}).exitCode, 2);
    EXPECT_EQ(Run({"read", "a.kiv", "--bogus", "x"}).exitCode, 2);
}

TEST_F(Kivtool, CmdlineOfAConnectionFile) {
    const auto kiv = files.Write("Full.KIV", "[Session]\nScreen_FULL=1\n");
    const TRun run = Run({"cmdline", "--", kiv.string()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const Json j = run.json();
    EXPECT_EQ(j["Kind"], "file");
    EXPECT_EQ(j["CommandText"], kiv.string());
    EXPECT_EQ(j["Overrides"], Json({{"Height", 573}, {"Width", 792}}));
}

TEST_F(Kivtool, CmdlineOfALinkWithADocument) {
    const TRun made = Run({"make-link", "https://portal:8443/kiv?app=1"});
    ASSERT_EQ(made.exitCode, 0);
    std::string madeLink = made.out.substr(0, made.out.find('\n'));
    const TRun run = Run({"cmdline", "--", madeLink + "&/tmp/doc.txt/"});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const Json j = run.json();
    EXPECT_EQ(j["Kind"], "link");
    EXPECT_EQ(j["Address"], "https://portal:8443/kiv?app=1");
    EXPECT_EQ(j["VirtualFileMode"], true);
    EXPECT_EQ(j["VirtualFileArg"], "/tmp/doc.txt");
    EXPECT_EQ(j["Overrides"]["AppID"], "APPVirFile");
    EXPECT_EQ(j["Overrides"]["AppTypeMode"], 5);
    EXPECT_EQ(j["Overrides"]["ScreenFull"], 3);
    EXPECT_EQ(j["Overrides"]["ShareSession"], true);
    EXPECT_EQ(j["Overrides"]["AppParam"], "/tmp/doc.txt");
}

TEST_F(Kivtool, CmdlineErrorsNameTheirMessage) {
    const TRun missing = Run({"cmdline", "--", "KIV://00", "/open", "/no/such/doc.txt"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.json()["ErrorKey"], "FileNotExist");
    EXPECT_NE(missing.json()["Error"].get<std::string>().find("/no/such/doc.txt"), std::string::npos);

    const TRun notLink = Run({"cmdline", "--", "http://portal/"});
    EXPECT_EQ(notLink.exitCode, 1);
    EXPECT_EQ(notLink.json()["Error"], "Is not KIV protocol\r\neg:KIV://xxxx");

    const auto broken = files.Write("broken.kiv", "");
    std::filesystem::permissions(broken, std::filesystem::perms::none);
    if (access(broken.c_str(), R_OK) != 0) {  // root reads everything
        const TRun unreadable = Run({"cmdline", "--", broken.string()});
        EXPECT_EQ(unreadable.json()["ErrorKey"], "ErrReadKIV");
    }
}

TEST_F(Kivtool, MakeKivWritesWhatTheReaderReadsBack) {
    const auto plainIni = files.Write("plain.ini", "[Local Property]\nKivFileisEn=0\n");
    const auto storedIni = files.Write("stored.ini", "");
    struct Case {
        std::vector<std::string> options;
        bool stored;
        int screenFull, appTypeMode, serverPort, serverShell;
    } cases[] = {
        {{"--server", "rdp.example.org", "--mode", "seamless", "--app-id", "APP7", "--app-name", "Caf\xc3\xa9"},
         true, 3, 2, 3389, 1},
        {{"--server", "10.0.0.5:3390", "--server-shell", "0", "--width", "1280", "--height", "720"}, true, 0, 1, 3390, 0},
        {{"--server", "host:4000", "--mode", "seamless", "--server-shell", "0"}, false, 0, 2, 4000, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"make-kiv", "--user", "ann", "--password", "p\xc3\xa4ss w", "--domain", "corp",
                                      "--out", (files.path() / "made.kiv").string(), "--local-ini",
                                      (c.stored ? storedIni : plainIni).string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const TRun made = Run(args);
        ASSERT_EQ(made.exitCode, 0) << made.out;
        const TRun read = Run({"read", (files.path() / "made.kiv").string(), "--local-ini",
                               (c.stored ? storedIni : plainIni).string()});
        ASSERT_EQ(read.exitCode, 0) << read.out;
        const Json j = read.json();
        EXPECT_EQ(j["ServerPort"], c.serverPort);
        EXPECT_EQ(j["ScreenFull"], c.screenFull);  // a plain server is never seamless
        EXPECT_EQ(j["AppTypeMode"], c.appTypeMode);
        EXPECT_EQ(j["ServerShell"], c.serverShell);
        const auto logon = [&](const char* field) {
            const std::string value = j[field].get<std::string>();
            return c.stored ? DecodeCredential(value) : value;
        };
        EXPECT_EQ(logon("LoginUser"), "ann");
        EXPECT_EQ(logon("LoginDomain"), "corp");
        // Stored, the password travels as bytes of the system code page (Latin-1 here).
        EXPECT_EQ(logon("LoginPassWord"), c.stored ? std::string("p\xe4ss w") : std::string("p\xc3\xa4ss w"));
    }
    EXPECT_EQ(Run({"make-kiv", "--server", "[::1]:3389"}).exitCode, 2);
    EXPECT_EQ(Run({"make-kiv", "--server", "h:99999"}).exitCode, 2);
    EXPECT_EQ(Run({"make-kiv", "--server", "h", "--mode", "full"}).exitCode, 2);
}

TEST_F(Kivtool, LinkRoundTripAndRefusal) {
    const TRun made = Run({"make-link", "http://portal/\u4e2d"}, {{"LANG", "zh_CN.UTF-8"}});
    ASSERT_EQ(made.exitCode, 0);
    const std::string link = made.out.substr(0, made.out.find('\n'));
    EXPECT_EQ(link.rfind("KIV://", 0), 0u);
    const TRun decoded = Run({"link", link + "/"}, {{"LANG", "zh_CN.UTF-8"}});
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out, "http://portal/\u4e2d\n");
    const TRun refused = Run({"link", "ftp://x"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Is not KIV protocol\r\neg:KIV://xxxx\n");
}

TEST_F(Kivtool, EncodersWriteWhatTheClientDecodes) {
    const TRun credential = Run({"encode-credential", "ann"});
    ASSERT_EQ(credential.exitCode, 0);
    EXPECT_EQ(DecodeCredential(credential.out.substr(0, credential.out.find('\n'))), "ann");
    const TRun shell = Run({"encode-shellpath", "c:\\kiv\\shell.exe"});
    ASSERT_EQ(shell.exitCode, 0);
    const auto kiv = files.Write("s.kiv", "[Server]\nKivShellPath=" + shell.out.substr(0, shell.out.find('\n')) + "\n");
    EXPECT_EQ(Run({"read", kiv.string()}).json()["ShellPath"], "c:\\kiv\\shell.exe");
}

TEST_F(Kivtool, SessionKeys) {
    const auto kiv = files.Write("k.kiv",
                                 "[Farm]\nUserName=416E6E\nPassWord=5057\n[Session]\nScreen_FULL=3\n"
                                 "[Server]\nServer_Address=srv:3389\nLogin_User=U\nLogin_PassWord=P\n");
    const TRun run = Run({"session-keys", kiv.string()});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.json()["SessionName"], "srv|3389||U|P|3");
    EXPECT_EQ(run.json()["VirFileSessionName"], "ann|pw|3");
}

TEST_F(Kivtool, FarmProxy) {
    home.Write("config/VYNClient6.0/Farms.ini", "[Farms]\nFarmList=a,b\n");
    home.Write("config/VYNClient6.0/a/Farm.ini", "[Farm]\nFarmHost=other\nFarmPort=80\n");
    home.Write("config/VYNClient6.0/b/Farm.ini",
               "[Farm]\nFarmHost=PORTAL\nFarmPort=8443\n[ProxySet]\nProxyType=2\nProxyServer=127.0.0.1\n"
               "ProxyPort=3128\nProxyUser=u\nProxyPwd=p\n");
    const TRun run = Run({"farm-proxy", "https://portal:8443/kiv/get"});
    ASSERT_EQ(run.exitCode, 0);
    const Json j = run.json();
    EXPECT_EQ(j["Farm"], "b");
    EXPECT_EQ(j["ProxySet"], Json({{"ProxyType", 2}, {"ProxyServer", "127.0.0.1"}, {"ProxyPort", 3128},
                                   {"ProxyUser", "u"}, {"ProxyPwd", "p"}}));
    EXPECT_EQ(Run({"farm-proxy", "ftp://portal/"}).json()["Farm"], "");
}

TEST_F(Kivtool, LangCheckFindsAMissingKey) {
    const std::filesystem::path shipped = std::filesystem::path(KIV_SOURCE_DIR) / "resources";
    const TRun good = Run({"lang-check", "--resources", shipped.string()});
    EXPECT_EQ(good.exitCode, 0) << good.out;
    EXPECT_EQ(good.json()["missing"], 0);

    // The same files with one key taken out of the English file.
    std::filesystem::copy(shipped, files.path() / "res", std::filesystem::copy_options::recursive);
    const auto english = files.path() / "res" / "Language" / "en-US.ini";
    std::string text = test::ReadFileBytes(english);
    const auto at = text.find("\nErrReadKIV=");
    ASSERT_NE(at, std::string::npos);
    text.erase(at + 1, text.find('\n', at + 1) - at);
    files.Write("res/Language/en-US.ini", text);
    const TRun bad = Run({"lang-check", "--resources", (files.path() / "res").string()});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("TEXT/ErrReadKIV"), std::string::npos);
}

}  // namespace
}  // namespace kiv
