// The demo server as a process: its command line, its listening line, plain
// TCP peers that never speak RDP, and how it ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "DemoServerProcess.h"
#include "support/TempDir.h"

namespace kiv::demo::test {
namespace {

using kiv::test::TempDir;

// An X.224 Connection Request as a client's first PDU: TPKT, the fixed part,
// a negotiation request for TLS.
std::string ConnectionRequest() {
    const unsigned char bytes[] = {0x03, 0x00, 0x00, 0x13, 0x0E, 0xE0, 0x00, 0x00, 0x00, 0x00,
                                   0x00, 0x01, 0x00, 0x08, 0x00, 0x01, 0x00, 0x00, 0x00};
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST(DemoServerCommandLine, HelpNamesEveryOptionAndScenarioWord) {
    const TRunResult run = RunDemoServer({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"--port",
                             "--state-dir",
                             "--transcript",
                             "--scenario",
                             "--step",
                             "--user",
                             "--password",
                             "--domain",
                             "--nla",
                             "--new-certificate",
                             "--width",
                             "--height",
                             "--color",
                             "--log-level",
                             "--transcript-secrets",
                             "--handshake-timeout-ms",
                             "--idle-timeout-ms",
                             "after",
                             "accept",
                             "logon",
                             "connect",
                             "recv",
                             "send",
                             "echo",
                             "error-info",
                             "close",
                             "drop",
                             "drop-once",
                             "stall",
                             "reconnect-cookie",
                             "wait",
                             "once",
                             "connection N",
                             "0x2E5C8A",
                             "0x577CA1",
                             "listening on 127.0.0.1:PORT"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

TEST(DemoServerCommandLine, RefusesWrongUsageWithExitCodeTwo) {
    TempDir dir;
    const TRunResult noPort = RunDemoServer({"--state-dir", dir.path().string()});
    EXPECT_EQ(noPort.exitCode, 2);
    EXPECT_NE(noPort.err.find("--port"), std::string::npos);

    const TRunResult badStep =
        RunDemoServer({"--port", "0", "--state-dir", dir.path().string(), "--step", "after connect sned CSML 01"});
    EXPECT_EQ(badStep.exitCode, 2);
    EXPECT_NE(badStep.err.find("--step 1 line 1"), std::string::npos) << badStep.err;
    EXPECT_NE(badStep.err.find("'sned'"), std::string::npos) << badStep.err;

    const std::filesystem::path scenario =
        dir.Write("scenario.txt", "# comment\necho CSML\nafter accept send CSML 01\n");
    const TRunResult badFile =
        RunDemoServer({"--port", "0", "--state-dir", dir.path().string(), "--scenario", scenario.string()});
    EXPECT_EQ(badFile.exitCode, 2);
    EXPECT_NE(badFile.err.find("scenario.txt line 3"), std::string::npos) << badFile.err;
}

TEST(DemoServerProcess, RecordsPlainTcpVisitorsAndKeepsServing) {
    TempDir dir;
    TDemoServerProcess server(dir.path(), {});
    EXPECT_EQ(server.listeningLine(), "listening on 127.0.0.1:" + std::to_string(server.port()));
    ASSERT_EQ(server.Events("listening").size(), 1u);
    EXPECT_EQ(server.Events("listening")[0]["port"], server.port());

    for (int visit = 1; visit <= 2; ++visit) {
        const int fd = ConnectTcp(server.port());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(server.WaitEvents("connect", 1, visit).size(), 1u);
        close(fd);
        const auto gone = server.WaitEvents("disconnect", 1, visit);
        ASSERT_EQ(gone.size(), 1u);
        EXPECT_EQ(gone[0]["reason"], "client");
        EXPECT_TRUE(gone[0].contains("time_ms"));
    }
    EXPECT_TRUE(server.Running());
    // Bytes that are no TPKT go to FreeRDP as they came; the server lives on.
    const int fd = ConnectTcp(server.port());
    ASSERT_GE(fd, 0);
    const std::string junk = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(send(fd, junk.data(), junk.size(), MSG_NOSIGNAL), static_cast<ssize_t>(junk.size()));
    close(fd);
    EXPECT_EQ(server.WaitEvents("disconnect", 1, 3).size(), 1u);
    EXPECT_TRUE(server.Running());
}

TEST(DemoServerProcess, StallNeverAnswersUntilTheClientGoes) {
    TempDir dir;
    TDemoServerProcess server(dir.path(), {"--step", "stall"});
    const int fd = ConnectTcp(server.port());
    ASSERT_GE(fd, 0);
    const std::string request = ConnectionRequest();
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::string answer;
    EXPECT_EQ(ReadWithin(fd, answer, 1000), -1) << "the server answered " << answer.size() << " bytes";
    EXPECT_TRUE(server.Events("disconnect").empty());
    close(fd);
    const auto gone = server.WaitEvents("disconnect");
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0]["reason"], "client");
}

TEST(DemoServerProcess, DropAfterAcceptEndsTheConnectionWithoutAByte) {
    TempDir dir;
    TDemoServerProcess server(dir.path(), {"--step", "connection 1 after accept 100ms drop"});
    const int first = ConnectTcp(server.port());
    ASSERT_GE(first, 0);
    std::string answer;
    EXPECT_EQ(ReadWithin(first, answer, 3000), 0);
    EXPECT_TRUE(answer.empty());
    close(first);
    const auto dropped = server.WaitEvents("disconnect", 1, 1);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0]["reason"], "drop");
    EXPECT_GE(dropped[0]["time_ms"].get<long>() - server.Events("connect", 1)[0]["time_ms"].get<long>(), 100);

    // The rule is for the first connection only: the second one gets an answer.
    const int second = ConnectTcp(server.port());
    ASSERT_GE(second, 0);
    const std::string request = ConnectionRequest();
    ASSERT_EQ(send(second, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    EXPECT_GT(ReadWithin(second, answer, 3000), 0);
    EXPECT_EQ(static_cast<unsigned char>(answer[0]), 0x03) << "a TPKT answer";
    close(second);
}

// A connection whose TLS handshake began and stalled: the request asked for TLS, the
// server confirmed, and the client sent only the head of its hello.
int ConnectIntoTheHandshake(int port) {
    const int fd = ConnectTcp(port);
    const std::string request = ConnectionRequest();
    std::string confirm;
    if (fd < 0 || send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()) ||
        ReadWithin(fd, confirm, 3000) <= 0)
        return -1;
    const char helloHead[] = {0x16, 0x03, 0x01, 0x00, 0x50};  // a handshake record of 80 bytes, never sent
    send(fd, helloHead, sizeof helloHead, MSG_NOSIGNAL);
    return fd;
}

TEST(DemoServerProcess, EndsWithExitZeroOnSigtermAndSigintEvenWithClients) {
    for (const int signal : {SIGTERM, SIGINT}) {
        TempDir dir;
        TDemoServerProcess server(dir.path(), {"--step", "connection 1 stall"});
        const int stalled = ConnectTcp(server.port());
        ASSERT_EQ(server.WaitEvents("connect", 1).size(), 1u);
        const int silent = ConnectTcp(server.port());
        const int inHandshake = ConnectIntoTheHandshake(server.port());
        ASSERT_GE(inHandshake, 0);
        ASSERT_EQ(server.WaitEvents("connect", 3).size(), 3u);
        std::chrono::milliseconds took{};
        EXPECT_EQ(server.Stop(signal, 2000, &took), 0) << "signal " << signal;
        EXPECT_LT(took.count(), 2000);
        const auto gone = server.Events("disconnect");
        EXPECT_EQ(gone.size(), 3u);
        for (const auto& line : gone) EXPECT_EQ(line["reason"], "stop");
        for (const int fd : {stalled, silent, inHandshake}) close(fd);
    }
}

TEST(DemoServerProcess, SilentAndStalledConnectionsEndAtTheirLimit) {
    const std::vector<std::vector<std::string>> limits{{"--handshake-timeout-ms", "600", "--idle-timeout-ms", "0"},
                                                       {"--handshake-timeout-ms", "0", "--idle-timeout-ms", "600"}};
    for (const auto& args : limits) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        TempDir dir;
        TDemoServerProcess server(dir.path(), args);
        const int silent = ConnectTcp(server.port());
        const int inHandshake = ConnectIntoTheHandshake(server.port());
        ASSERT_GE(inHandshake, 0);
        const auto gone = server.WaitEvents("disconnect", 2, std::nullopt, 5000);
        ASSERT_EQ(gone.size(), 2u);
        for (const auto& line : gone) EXPECT_EQ(line["reason"], "timeout");
        for (const int fd : {silent, inHandshake}) {
            std::string rest;
            EXPECT_EQ(ReadWithin(fd, rest, 2000), 0);  // the client sees the end
            close(fd);
        }
        EXPECT_TRUE(server.Running());
    }
}

TEST(DemoServerProcess, KeepsItsCertificateUntilToldToRenewIt) {
    TempDir dir;
    std::string first;
    {
        TDemoServerProcess server(dir.path(), {});
        first = server.Events("listening")[0]["certificate_sha256"];
        EXPECT_EQ(server.Stop(SIGTERM, 2000), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "state" / "server.crt"));
    EXPECT_EQ(std::filesystem::status(dir.path() / "state" / "server.key").permissions() &
                  (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
    {
        TDemoServerProcess server(dir.path(), {});
        EXPECT_EQ(server.Events("listening")[0]["certificate_sha256"], first);
    }
    {
        TDemoServerProcess server(dir.path(), {"--new-certificate"});
        EXPECT_NE(server.Events("listening")[0]["certificate_sha256"], first);
        EXPECT_EQ(server.Events("listening")[0]["certificate_sha256"].get<std::string>().size(), 95u);
    }
}

}  // namespace
}  // namespace kiv::demo::test
