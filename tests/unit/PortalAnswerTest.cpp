// What the start-up makes of a portal's answer, and how the portal address, the
// answer's lines and the farm's proxy are prepared for the fetch.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "launch/PortalAnswer.h"
#include "launch/PortalFetch.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

std::string Lookup(std::string_view key) { return "<" + std::string(key) + ">"; }

class TRecordingStarter : public IProcessStarter {
public:
    bool Start(const std::string& program, const std::vector<std::string>& args) override {
        calls.emplace_back(program, args);
        return answer;
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    bool answer = true;
};

const std::filesystem::path kProgramFolder = "/opt/kiv";

const std::vector<std::string> kConnectionSections = {
    "[Farm]",   "FarmName=Sales", "[Session]", "Screen_FULL=3", "[Application]", "App_id=APP7",
    "[Server]", "Server_Address=10.0.0.5:3390",
};

std::vector<std::string> Answer(std::vector<std::string> head, const std::vector<std::string>& tail = {}) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct PortalAnswerRun {
    TKIVFile record;
    TRecordingStarter starter;
    TPortalOutcome outcome;

    void Handle(bool fetched, const std::vector<std::string>& lines) {
        outcome = HandlePortalAnswer(fetched, lines, record, starter, kProgramFolder, Lookup);
    }
};

TEST(PortalAnswer, FailedFetchShowsTheErrorLinesUnderErrorCap) {
    PortalAnswerRun run;
    run.Handle(false, {"Failed to connect to 127.0.0.1 port 1"});
    EXPECT_FALSE(run.outcome.carryOn);
    EXPECT_TRUE(run.outcome.showMessage);
    EXPECT_EQ(run.outcome.text, "Failed to connect to 127.0.0.1 port 1");
    EXPECT_EQ(run.outcome.caption, "<ErrorCap>");
    EXPECT_EQ(run.outcome.iconIndex, 2);
    EXPECT_TRUE(run.starter.calls.empty());

    // An error text that looks like a connection file is still only an error.
    const TPortalDecision decision =
        DecidePortalAnswer(false, Answer({"[RESULT]", "result=0"}, kConnectionSections), kProgramFolder, Lookup);
    EXPECT_EQ(decision.step, TPortalStep::ShowErrorAndClose);
    EXPECT_EQ(decision.text.substr(0, 18), "[RESULT]\r\nresult=0");
}

TEST(PortalAnswer, ResultsZeroAndSixReadTheConnectionSettings) {
    for (const char* result : {"result=0", "result=6", "RESULT=0x6"}) {
        SCOPED_TRACE(result);
        PortalAnswerRun run;
        run.Handle(true, Answer({"[RESULT]", result, "MsgID=0", "MsgDesc=ok"}, kConnectionSections));
        EXPECT_TRUE(run.outcome.carryOn);
        EXPECT_FALSE(run.outcome.showMessage);
        EXPECT_EQ(run.record.FarmName, "Sales");
        EXPECT_EQ(run.record.AppID, "APP7");
        EXPECT_EQ(run.record.ServerHost, "10.0.0.5");
        EXPECT_EQ(run.record.ServerPort, 3390);
        EXPECT_EQ(run.record.ScreenFull, 3);
        EXPECT_TRUE(run.starter.calls.empty());
    }
}

TEST(PortalAnswer, DecisionHandsTheImageOnForReading) {
    const TPortalDecision decision = DecidePortalAnswer(
        true, Answer({"[result]", "result=0"}, kConnectionSections), kProgramFolder, Lookup);
    ASSERT_EQ(decision.step, TPortalStep::ReadConnectionFile);
    ASSERT_TRUE(decision.image.has_value());
    EXPECT_EQ(decision.image->ReadString("Server", "Server_Address", ""), "10.0.0.5:3390");
}

TEST(PortalAnswer, RefusalShowsMsgDescAndStartsNothing) {
    PortalAnswerRun run;
    run.Handle(true, Answer({"[RESULT]", "result=3", "MsgID=17", "MsgDesc=Your account is locked"},
                            kConnectionSections));
    EXPECT_FALSE(run.outcome.carryOn);
    EXPECT_TRUE(run.outcome.showMessage);
    EXPECT_EQ(run.outcome.text, "Your account is locked");
    EXPECT_EQ(run.outcome.caption, "<ErrorCap>");
    EXPECT_TRUE(run.starter.calls.empty());
    EXPECT_TRUE(run.record.ServerAddress.empty());
}

TEST(PortalAnswer, ResultThatIsNoNumberIsARefusal) {
    for (std::vector<std::string> head : {std::vector<std::string>{"[RESULT]", "result=ok", "MsgDesc=bad"},
                                          std::vector<std::string>{"[RESULT]", "MsgDesc=bad"}}) {
        PortalAnswerRun run;
        run.Handle(true, Answer(head, kConnectionSections));
        EXPECT_FALSE(run.outcome.carryOn);
        EXPECT_EQ(run.outcome.text, "bad");
        EXPECT_TRUE(run.record.ServerAddress.empty());
    }
    // A refusal without a description still closes, with an empty text.
    PortalAnswerRun run;
    run.Handle(true, {"[RESULT]", "result=-2"});
    EXPECT_TRUE(run.outcome.showMessage);
    EXPECT_EQ(run.outcome.text, "");
}

TEST(PortalAnswer, DownloadOrderStartsTheUpdaterAndNeverReadsTheSettings) {
    for (const char* result : {"result=0", "result=6"}) {
        SCOPED_TRACE(result);
        PortalAnswerRun run;
        run.Handle(true, Answer({"[RESULT]", result, "[DownLoad]", "URL=http://portal/update/client.pkg"},
                                kConnectionSections));
        EXPECT_FALSE(run.outcome.carryOn);
        EXPECT_FALSE(run.outcome.showMessage);
        ASSERT_EQ(run.starter.calls.size(), 1u);
        EXPECT_EQ(run.starter.calls[0].first, "/opt/kiv/ClientDownload");
        EXPECT_EQ(run.starter.calls[0].second, std::vector<std::string>{"http://portal/update/client.pkg"});
        EXPECT_TRUE(run.record.FarmName.empty());
        EXPECT_TRUE(run.record.ServerAddress.empty());
        EXPECT_EQ(run.record.ServerPort, 5872);
    }
}

TEST(PortalAnswer, DownloadWithoutAddressStartsTheUpdaterWithoutArgument) {
    PortalAnswerRun run;
    run.Handle(true, {"[RESULT]", "result=0", "[download]"});
    ASSERT_EQ(run.starter.calls.size(), 1u);
    EXPECT_TRUE(run.starter.calls[0].second.empty());
}

TEST(PortalAnswer, UpdaterThatDoesNotStartStillCloses) {
    PortalAnswerRun run;
    run.starter.answer = false;
    run.Handle(true, Answer({"[RESULT]", "result=0", "[DownLoad]", "URL=u"}, kConnectionSections));
    EXPECT_EQ(run.starter.calls.size(), 1u);
    EXPECT_FALSE(run.outcome.carryOn);
    EXPECT_FALSE(run.outcome.showMessage);
    EXPECT_TRUE(run.record.ServerAddress.empty());
}

TEST(PortalAnswer, RefusalWinsOverADownloadOrder) {
    PortalAnswerRun run;
    run.Handle(true, {"[RESULT]", "result=1", "MsgDesc=no", "[DownLoad]", "URL=u"});
    EXPECT_TRUE(run.starter.calls.empty());
    EXPECT_EQ(run.outcome.text, "no");
}

TEST(PortalAnswer, AnswerWithoutResultIsAnUnreadableConnectionFile) {
    for (const std::vector<std::string>& lines :
         {kConnectionSections, std::vector<std::string>{}, std::vector<std::string>{"<html>404</html>"},
          Answer({"[DownLoad]", "URL=u"}, kConnectionSections)}) {
        PortalAnswerRun run;
        run.Handle(true, lines);
        EXPECT_FALSE(run.outcome.carryOn);
        EXPECT_TRUE(run.outcome.showMessage);
        EXPECT_EQ(run.outcome.text, "<ErrReadKIV>");
        EXPECT_EQ(run.outcome.caption, "<ErrorCap>");
        EXPECT_TRUE(run.starter.calls.empty());
        EXPECT_TRUE(run.record.ServerAddress.empty());
    }
}

TEST(PortalAnswer, TextsAreConvertedOnceWhateverTheirSource) {
    // In a Chinese locale the portal writes GBK, the language file UTF-8.
    test::ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    const auto chinese = [](std::string_view key) { return "无法读取" + std::string(key); };
    const struct {
        bool fetched;
        std::vector<std::string> lines;
        std::string expected;
    } roads[] = {
        {true, kConnectionSections, "无法读取ErrReadKIV"},
        {true, {"[RESULT]", "result=3", "MsgDesc=\xD5\xCB\xBB\xA7"}, "账户"},
        {false, {"HTTP/1.1 503 \xB7\xFE\xCE\xF1"}, "HTTP/1.1 503 服务"},
    };
    for (const auto& road : roads) {
        TKIVFile record;
        TRecordingStarter starter;
        const TPortalOutcome outcome = HandlePortalAnswer(road.fetched, road.lines, record, starter, kProgramFolder, chinese);
        EXPECT_EQ(outcome.text, road.expected);
    }
}

TEST(PortalAnswer, ResultWithoutConnectionSectionsIsAnUnreadableFile) {
    PortalAnswerRun run;
    run.Handle(true, {"[RESULT]", "result=0"});
    EXPECT_FALSE(run.outcome.carryOn);
    EXPECT_EQ(run.outcome.text, "<ErrReadKIV>");
}

const TClientIdentity kPc17{"PC-17", "A1234ABCD", "192.168.1.20"};

TEST(PortalAddress, NoSchemeGetsHttpAndTheParametersFollowTheQuery) {
    EXPECT_EQ(PortalRequestAddress("portal/kiv/get.aspx?x=1", kPc17),
              "http://portal/kiv/get.aspx?x=1&Computer=PC-17&Finger=A1234ABCD&IP=192.168.1.20");
    // The rule only looks at the first four letters: another scheme is not one to the client.
    EXPECT_EQ(PortalRequestAddress("ftp://portal/?x=1", kPc17).substr(0, 20), "http://ftp://portal/");
}

TEST(PortalAddress, AnyCaseOfHttpKeepsTheAddress) {
    for (const char* address : {"http://p/a?x=1", "HTTP://p/a?x=1", "https://p/a?x=1", "HtTpS://p/a?x=1"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(PortalRequestAddress(address, kPc17),
                  std::string(address) + "&Computer=PC-17&Finger=A1234ABCD&IP=192.168.1.20");
    }
}

TEST(PortalAddress, NoSeparatorCheckAndTextsAppendedAsTheyAre) {
    const TClientIdentity odd{"A%sB", "", "10.0.0.1,10.0.0.2"};
    EXPECT_EQ(PortalRequestAddress("http://p/a", odd), "http://p/a&Computer=A%sB&Finger=&IP=10.0.0.1,10.0.0.2");
    EXPECT_EQ(PortalRequestAddress("", TClientIdentity{}), "http://&Computer=&Finger=&IP=");
}

TEST(PortalAddress, HttpsIsRecognisedInAnyCase) {
    EXPECT_TRUE(IsHttpsAddress("https://p/"));
    EXPECT_TRUE(IsHttpsAddress("HTTPS://p/"));
    EXPECT_TRUE(IsHttpsAddress("hTtPs://p/"));
    EXPECT_FALSE(IsHttpsAddress("http://p/"));
    EXPECT_FALSE(IsHttpsAddress("https:/p/"));
    EXPECT_FALSE(IsHttpsAddress("https"));
    EXPECT_FALSE(IsHttpsAddress("portal/https://"));
}

TEST(PortalAnswerLines, SplitAtEveryKindOfLineEnd) {
    EXPECT_EQ(SplitAnswerLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitAnswerLines("a\r\n"), std::vector<std::string>{"a"});
    EXPECT_EQ(SplitAnswerLines("a\n\nb\r\r"), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_EQ(SplitAnswerLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitAnswerLines("\r\n"), std::vector<std::string>{""});
    EXPECT_TRUE(SplitAnswerLines("").empty());
    EXPECT_EQ(SplitAnswerLines(std::string("x\0y", 3)), std::vector<std::string>{std::string("x\0y", 3)});
}

TProxySet Proxy(int32_t type, std::string_view server, int32_t port, std::string_view user = "",
                std::string_view password = "") {
    TProxySet proxy;
    proxy.ProxyType = type;
    proxy.ProxyServer = server;
    proxy.ProxyPort = port;
    proxy.ProxyUser = user;
    proxy.ProxyPwd = password;
    return proxy;
}

TEST(PortalProxyMapping, NoneUnknownAndSystemKinds) {
    EXPECT_EQ(PortalProxyFor(Proxy(0, "proxy", 3128)).kind, TPortalProxy::TKind::Direct);
    EXPECT_EQ(PortalProxyFor(Proxy(7, "proxy", 3128)).kind, TPortalProxy::TKind::Direct);
    EXPECT_EQ(PortalProxyFor(Proxy(-1, "proxy", 3128)).kind, TPortalProxy::TKind::Direct);
    EXPECT_EQ(PortalProxyFor(Proxy(1, "", 0)).kind, TPortalProxy::TKind::Environment);
    // A proxy kind with no host to go through.
    EXPECT_EQ(PortalProxyFor(Proxy(2, "  ", 3128)).kind, TPortalProxy::TKind::Direct);
}

TEST(PortalProxyMapping, HttpProxySendsBasicCredentialsOnlyWhenThereAreAny) {
    const TPortalProxy with = PortalProxyFor(Proxy(2, "proxy.lan", 3128, "bob", "s:cret"));
    EXPECT_EQ(with.kind, TPortalProxy::TKind::Explicit);
    EXPECT_EQ(with.url, "http://proxy.lan:3128");
    EXPECT_TRUE(with.useCredentials);
    EXPECT_EQ(with.user, "bob");
    EXPECT_EQ(with.password, "s:cret");
    EXPECT_FALSE(PortalProxyFor(Proxy(2, "proxy.lan", 3128, "  ", "")).useCredentials);
    EXPECT_TRUE(PortalProxyFor(Proxy(2, "proxy.lan", 3128, "", "pw")).useCredentials);
}

TEST(PortalProxyMapping, SocksKinds) {
    const TPortalProxy socks4 = PortalProxyFor(Proxy(3, "10.1.1.1", 1080));
    EXPECT_EQ(socks4.url, "socks4://10.1.1.1:1080");
    EXPECT_FALSE(socks4.useCredentials);
    const TPortalProxy socks4a = PortalProxyFor(Proxy(3, "10.1.1.1", 1080, "id7"));
    EXPECT_EQ(socks4a.url, "socks4a://10.1.1.1:1080");
    EXPECT_TRUE(socks4a.useCredentials);
    EXPECT_EQ(socks4a.user, "id7");
    const TPortalProxy socks5 = PortalProxyFor(Proxy(4, "fe80::1", 1081, "u", "p"));
    EXPECT_EQ(socks5.url, "socks5://[fe80::1]:1081");
    EXPECT_TRUE(socks5.useCredentials);
    EXPECT_FALSE(PortalProxyFor(Proxy(4, "s", 1081)).useCredentials);
    // Without a usable port the library's default port applies.
    EXPECT_EQ(PortalProxyFor(Proxy(4, "s", 0)).url, "socks5://s");
    EXPECT_EQ(PortalProxyFor(Proxy(4, "s", 70000)).url, "socks5://s");
}

TEST(PortalFetchOptions, CertificateCheckIsOnUnlessSwitchedOff) {
    test::TempDir dir;
    EXPECT_TRUE(ReadPortalFetchOptions(dir.path() / "missing.ini").verifyPortalCertificate);
    EXPECT_TRUE(ReadPortalFetchOptions(dir.Write("a.ini", "[Local Property]\r\nVerifyPortalCertificate=1\r\n"))
                    .verifyPortalCertificate);
    EXPECT_TRUE(ReadPortalFetchOptions(dir.Write("b.ini", "[Local Property]\r\nVerifyPortalCertificate=no\r\n"))
                    .verifyPortalCertificate);
    EXPECT_FALSE(ReadPortalFetchOptions(dir.Write("c.ini", "[local property]\nverifyportalcertificate=0\n"))
                     .verifyPortalCertificate);
    EXPECT_TRUE(ReadPortalFetchOptions(dir.Write("d.ini", "[Other]\nVerifyPortalCertificate=0\n"))
                    .verifyPortalCertificate);
    EXPECT_TRUE(ReadPortalFetchOptions(dir.path()).caFile.empty());
}

}  // namespace
}  // namespace kiv
