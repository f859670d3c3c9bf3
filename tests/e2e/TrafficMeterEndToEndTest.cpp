// The traffic meter in the running client: what it counts against what the
// kernel counted, what the server shell hears each second, and what the
// floating status window receives and shows.
#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <set>
#include <cstdio>

#include "channels/ByteOrder.h"
#include "infra/NetSpeedReport.h"
#include "launch/CredentialCodec.h"
#include "support/ClientSessionHarness.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Upper- or lower-case hex pairs as bytes.
std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

class TrafficMeterEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!harness.DisplayReady()) GTEST_SKIP() << "no private X display: " << harness.DisplayError();
    }

    // A program folder of its own, so its "KivClient.ini" can say what the test wants.
    std::filesystem::path ProgramFolder(const std::string& localProperties) {
        const std::filesystem::path bin = std::filesystem::path(KIVCLIENT_PATH).parent_path();
        const std::filesystem::path folder = harness.Dir().path() / "program";
        std::filesystem::create_directories(folder);
        for (const std::filesystem::path& program : {std::filesystem::path(KIVCLIENT_PATH),
                                                     std::filesystem::path(KIV_STATUS_PATH)}) {
            std::error_code ec;
            std::filesystem::create_hard_link(program, folder / program.filename(), ec);
            if (ec) std::filesystem::copy_file(program, folder / program.filename());
        }
        for (const char* item : {"Resource.ini", "Language", "Images"})
            std::filesystem::copy(bin / item, folder / item, std::filesystem::copy_options::recursive);
        std::ofstream(folder / "KivClient.ini") << "[Local Property]\n" << localProperties;
        return folder / "kivclient";
    }

    std::unique_ptr<test::ChildProcess> StartClient(const std::filesystem::path& program) {
        const auto file = harness.Dir().Write(
            "app.kiv", "[Farm]\r\nUserName=616E6E\r\nSessionID=SID00000042\r\n[Session]\r\nScreen_FULL=0\r\nWidth=800\r\n"
                       "Height=600\r\nColor=4\r\n[Application]\r\nApp_id=APP0001\r\nApp_name=Notepad\r\n"
                       "App_type_mode=2\r\n[Server]\r\nServer_Name=demo-farm\r\nServer_Address=127.0.0.1:" +
                           std::to_string(port) + "\r\nLogin_User=" + EncodeCredential("ann") +
                           "\r\nLogin_PassWord=" + EncodeCredential("secret") + "\r\n");
        auto env = harness.Env();
        env["KIV_TEST_STATUS_RECORD"] = StatusRecord().string();
        return std::make_unique<test::ChildProcess>(std::vector<std::string>{program.string(), file.string()}, env,
                                                    (harness.Dir().path() / "client.log").string());
    }

    // (Value, Value2) of every SHELL_TRAFFIC the server received, in order.
    std::vector<std::pair<int32_t, int32_t>> TrafficReports() const {
        std::vector<std::pair<int32_t, int32_t>> reports;
        for (const std::string& hex : harness.ReceivedOnCsml()) {
            if (hex.rfind("5A2E070410", 0) != 0 || hex.size() < 50) continue;
            const std::vector<uint8_t> bytes = Bytes(hex);
            reports.emplace_back(ReadI32(&bytes[17]), ReadI32(&bytes[21]));
        }
        return reports;
    }

    std::filesystem::path StatusRecord() const { return harness.Dir().path() / "status.txt"; }
    std::vector<TNetSpeedReport> StatusReports() const {
        std::vector<TNetSpeedReport> reports;
        for (const std::string& line : Lines(StatusRecord())) {
            if (line.rfind("report ", 0) != 0) continue;
            if (auto r = TNetSpeedReport::Decode(Bytes(line.substr(7)))) reports.push_back(*r);
        }
        return reports;
    }

    void EndClient(test::ChildProcess& client) {
        test::ChildProcess request({KIVTOOL_PATH, "send-window-message", "WM_MSG_DISCONNECT_DEBUG"}, harness.Env());
        EXPECT_EQ(request.Wait(10s), 0);
        EXPECT_EQ(client.Wait(20s), 0);
    }

    test::ClientSessionHarness harness;
    int port = 0;
};

TEST_F(TrafficMeterEndToEnd, TheMeterCountsWhatTheKernelCountedAndTheStatusWindowShowsIt) {
    port = harness.StartServer({"--move-every-ms", "100"});  // windows that move: traffic every second
    ASSERT_NE(port, 0);
    auto client = StartClient(ProgramFolder("ShowNetRate=1\n"));
    ASSERT_TRUE(test::WaitFor([&] { return TrafficReports().size() >= 5; }, 40s)) << "no traffic reports";
    ASSERT_TRUE(test::WaitFor([&] { return StatusReports().size() >= 4; }, 10s)) << "the status window heard nothing";
    const std::filesystem::path artifacts = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts";
    std::filesystem::create_directories(artifacts);
    harness.Run({"/usr/bin/import", "-window", "root", (artifacts / "kiv-status.png").string()})->Wait(10s);

    const auto statusLines = Lines(StatusRecord());
    ASSERT_FALSE(statusLines.empty());
    ASSERT_EQ(statusLines[0].rfind("start ", 0), 0u) << statusLines[0];
    const pid_t statusWindow = std::stoi(statusLines[0].substr(6));
    EndClient(*client);

    // The status window heard the session end and went with it.
    EXPECT_TRUE(test::WaitFor([&] { return kill(statusWindow, 0) != 0; }, 10s)) << "kiv-status stayed";
    if (kill(statusWindow, 0) == 0) kill(statusWindow, SIGKILL);
    const auto ending = Lines(StatusRecord());
    ASSERT_GE(ending.size(), 2u);
    EXPECT_EQ(ending[ending.size() - 2], "close 42");
    EXPECT_EQ(ending.back(), "end");

    // The meter's totals at the end are the kernel's counts for the session's socket.
    int64_t counted[2] = {-1, -1}, kernel[2] = {-2, -2};
    int resets = -1;
    for (const std::string& line : Lines(harness.Dir().path() / "state/VYNClient6.0/KivClient.log")) {
        const auto at = line.find("[TCltNetSpd]counted sent ");
        if (at == std::string::npos) continue;
        long long c0 = 0, c1 = 0, k0 = 0, k1 = 0;
        int sockets = 0;
        if (std::sscanf(line.c_str() + at, "[TCltNetSpd]counted sent %lld received %lld; the kernel's count sent %lld "
                                           "received %lld (%d sockets, %d reset)", &c0, &c1, &k0, &k1, &sockets,
                        &resets) == 6) {
            counted[0] = c0, counted[1] = c1, kernel[0] = k0, kernel[1] = k1;
        }
    }
    EXPECT_GT(counted[0], 1000);
    EXPECT_GT(counted[1], 100000);  // the desktop's pixels
    // A server that resets the connection throws away what it had not taken yet.
    if (resets == 0) EXPECT_EQ(counted[0], kernel[0]);
    else EXPECT_GE(counted[0], kernel[0]);
    EXPECT_EQ(counted[1], kernel[1]);

    // Every record: the session's names, and figures that add up second by second.
    const auto records = StatusReports();
    std::set<std::pair<int64_t, int64_t>> seconds;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TNetSpeedReport& r = records[i];
        EXPECT_EQ(r.SessionID, "SID00000042");
        EXPECT_EQ(r.ServerName, "demo-farm");
        EXPECT_EQ(r.AppName, "Notepad");
        EXPECT_NE(r.OwnerWindow, 0u);
        if (i > 0) {
            EXPECT_EQ(r.SentTotal - records[i - 1].SentTotal, r.SentLastSecond) << "record " << i;
            EXPECT_EQ(r.ReceivedTotal - records[i - 1].ReceivedTotal, r.ReceivedLastSecond) << "record " << i;
        }
        seconds.emplace(r.SentLastSecond, r.ReceivedLastSecond);
    }
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().ServerSessionNo, "7");  // once the server said which session it is
    EXPECT_LE(records.back().SentTotal, counted[0]);
    EXPECT_LE(records.back().ReceivedTotal, counted[1]);

    // What the server shell heard each second are the meter's seconds (the first
    // reports may predate the status window's start).
    const auto reports = TrafficReports();
    bool someTraffic = false;
    for (std::size_t i = 2; i < reports.size(); ++i) {
        EXPECT_TRUE(seconds.count(reports[i])) << "report " << i << ": " << reports[i].first << "/" << reports[i].second;
        someTraffic = someTraffic || reports[i].second > 0;
    }
    EXPECT_TRUE(someTraffic);
}

TEST_F(TrafficMeterEndToEnd, WithDisableNetRateTheServerHearsZeros) {
    port = harness.StartServer({"--move-every-ms", "100"});
    ASSERT_NE(port, 0);
    auto client = StartClient(ProgramFolder("DisableNetRate=1\n"));
    ASSERT_TRUE(test::WaitFor([&] { return TrafficReports().size() >= 3; }, 40s)) << "no traffic reports";
    for (const auto& [sent, received] : TrafficReports()) {
        EXPECT_EQ(sent, 0);
        EXPECT_EQ(received, 0);
    }
    EndClient(*client);
}

}  // namespace
}  // namespace kiv
