#include <gtest/gtest.h>

#include "infra/CltNetSpd.h"
#include "infra/StatusWindowMessage.h"
#include "launch/KivFile.h"
#include "support/ManualClock.h"
#include "support/MeterFakes.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) out += std::string{digits[b >> 4], digits[b & 15]};
    return out;
}

std::string Zeros(std::size_t bytes) { return std::string(bytes * 2, '0'); }

class TrafficMeter : public ::testing::Test {
protected:
    void SetUp() override {
        record.ServerSessionNo = 1234;
        record.SessionID = "SID00000042";
        record.ServerName = "srv01";
        record.AppName = std::string(45, 'A');
    }
    // The meter as the session window creates it; `localIni` is the text of
    // "KivClient.ini" (none: no file).
    TCltNetSpd& Make(const char* localIni = nullptr) {
        if (localIni) files.Write("KivClient.ini", localIni);
        meter.reset();
        ports = std::make_unique<TTrafficMeterPorts>(
            TTrafficMeterPorts{clock, test::TickCountOf(clock), &interception, &link, files.path() / "KivClient.ini"});
        meter = std::make_unique<TCltNetSpd>(*ports, record, 0x0A0B0C0D);
        return *meter;
    }
    std::vector<TStatusWindowMessage> Received() const {
        std::vector<TStatusWindowMessage> messages;
        for (const auto& d : link.datagrams) messages.push_back(*TStatusWindowMessage::Decode(d));
        return messages;
    }

    test::TempDir files;
    test::ManualClock clock;
    test::FakeInterception interception;
    test::FakeStatusLink link;
    TKIVFile record;
    std::unique_ptr<TTrafficMeterPorts> ports;
    std::unique_ptr<TCltNetSpd> meter;
};

TEST_F(TrafficMeter, TakesEachSecondsTrafficAndAveragesSinceTheFirstBytes) {
    TCltNetSpd& m = Make();
    ASSERT_EQ(interception.counter, &m);
    for (int i = 0; i < 3; ++i) interception.counter->AddSent(1000);
    interception.counter->AddReceived(500);
    interception.counter->AddSent(0);  // nothing moved: ignored
    interception.counter->AddReceived(-1);
    clock.Advance(1000);
    EXPECT_EQ(m.SentLastSecond(), 3000);
    EXPECT_EQ(m.ReceivedLastSecond(), 500);
    EXPECT_EQ(m.SentRate(), 3000);
    for (int idle = 0; idle < 2; ++idle) {
        clock.Advance(1000);
        EXPECT_EQ(m.SentLastSecond(), 0);
        EXPECT_EQ(m.ReceivedLastSecond(), 0);
    }
    EXPECT_EQ(m.SentTotal(), 3000);
    EXPECT_EQ(m.SentRate(), 1000);     // 3000 bytes in 3 seconds
    EXPECT_EQ(m.ReceivedRate(), 167);  // 166.67
}

TEST_F(TrafficMeter, RatesRoundHalvesToEven) {
    struct Case {
        int64_t bytes;
        int seconds;
        int32_t rate;
    };
    for (const Case c : {Case{5, 2, 2}, Case{7, 2, 4}, Case{1, 3, 0}, Case{3001, 2, 1500}}) {
        TCltNetSpd& m = Make();
        interception.counter->AddSent(c.bytes);
        clock.Advance(1000 * c.seconds);
        EXPECT_EQ(m.SentRate(), c.rate) << c.bytes << " bytes in " << c.seconds << " s";
    }
}

TEST_F(TrafficMeter, ATotalThatReachedTheThresholdStartsAgain) {
    TCltNetSpd& m = Make();
    interception.counter->AddReceived(TCltNetSpd::kTotalResetThreshold - 1);
    clock.Advance(1000);
    EXPECT_EQ(m.ReceivedTotal(), TCltNetSpd::kTotalResetThreshold - 1);  // just below: kept
    interception.counter->AddReceived(1);
    interception.counter->AddSent(TCltNetSpd::kTotalResetThreshold + 5);
    clock.Advance(1000);
    EXPECT_EQ(m.ReceivedLastSecond(), 1);  // the second's traffic is not touched by the restart
    EXPECT_EQ(m.SentLastSecond(), 5);      // low 32 bits of 2^40 + 5
    EXPECT_EQ(m.ReceivedTotal(), 0);
    EXPECT_EQ(m.SentTotal(), 0);
    EXPECT_EQ(m.SentRate(), 0);
    interception.counter->AddSent(7);
    clock.Advance(1000);
    EXPECT_EQ(m.SentLastSecond(), 7);
    EXPECT_EQ(m.SentTotal(), 7);
    EXPECT_EQ(m.SentRate(), 7);  // since the restart
}

TEST_F(TrafficMeter, TheStatusRecordByteForByte) {
    link.statusWindow = 77;
    Make();
    for (int i = 0; i < 3; ++i) interception.counter->AddSent(1000);
    interception.counter->AddReceived(500);
    clock.Advance(1000);
    ASSERT_EQ(link.datagrams.size(), 1u);
    EXPECT_EQ(link.sentTo[0], 77u);
    std::string fortyA;  // the 45 characters of the name are cut to 40
    for (int i = 0; i < 40; ++i) fortyA += "41";
    const std::string expected = std::string("4A000000") + "01000000" + "00000000" + "BB000000" +  // copy data, 187 bytes
                                 "0D0C0B0A" +                                                // OwnerWindow
                                 "0431323334" + Zeros(36) +                                  // "1234"
                                 "0B" + "5349443030303030303432" +                           // "SID00000042"
                                 "05" + "7372763031" + Zeros(35) +                           // "srv01"
                                 "28" + fortyA +                                             // AppName
                                 "B80B000000000000" + "F401000000000000" +  // last second: sent, received
                                 "B80B000000000000" + "F401000000000000" +  // rates
                                 "B80B000000000000" + "F401000000000000";   // totals
    EXPECT_EQ(Hex(link.datagrams[0]), expected);
    EXPECT_EQ(link.datagrams[0].size(), 16u + 187u);
}

TEST_F(TrafficMeter, DisableNetRateIsOnlyTheExactValueOne) {
    struct Case {
        const char* ini;
        bool hookEnabled;
    };
    const Case cases[] = {{nullptr, true},
                          {"[Local Property]\nDisableNetRate=1\n", false},
                          {"[Local Property]\nDisableNetRate=0\n", true},
                          {"[Local Property]\nDisableNetRate=yes\n", true},
                          {"[Local Property]\nDisableNetRate=01\n", true},
                          {"[Local Property]\nDisableNetRate=\n", true},
                          {"[Other]\nDisableNetRate=1\n", true}};
    link.statusWindow = 5;
    for (const Case& c : cases) {
        interception = {};
        link.datagrams.clear();
        const TCltNetSpd& m = Make(c.ini);
        const std::string what = c.ini ? c.ini : "no file";
        EXPECT_EQ(m.HookEnabled(), c.hookEnabled) << what;
        EXPECT_EQ(interception.installs, c.hookEnabled ? 1 : 0) << what;
        // Without the interception the ticks run at once and report zeros;
        // with it they wait for the first counted bytes.
        clock.Advance(1000);
        ASSERT_EQ(link.datagrams.size(), c.hookEnabled ? 0u : 1u) << what;
        if (!c.hookEnabled) {
            EXPECT_EQ(Hex(Received()[0].payload).substr(139 * 2), Zeros(48)) << what;
        }
        meter.reset();
    }
}

TEST_F(TrafficMeter, TheCloseMessageCarriesTheSessionNumber) {
    struct Case {
        const char* sessionId;
        uint32_t lParam;
    };
    for (const Case c : {Case{"SID00000000", 0}, Case{"SID00000042", 42}, Case{"SIDABCDEFGH", 0},
                         Case{"SID0000004x", 0}, Case{"SID", 0}, Case{"SID-0000001", 0xFFFFFFFFu}}) {
        EXPECT_EQ(TCltNetSpd::CloseLParam(c.sessionId), c.lParam) << c.sessionId;
    }
    link.statusWindow = 9;
    Make();
    meter.reset();
    ASSERT_EQ(Received().size(), 1u);
    EXPECT_EQ(Received()[0].kind, kStatusClose);
    EXPECT_EQ(Received()[0].wParam, 2u);
    EXPECT_EQ(Received()[0].lParam, 42u);
    EXPECT_TRUE(Received()[0].payload.empty());
    // Without a status window nothing is sent, not even at the end.
    link.statusWindow = 0;
    link.datagrams.clear();
    Make();
    interception.counter->AddSent(10);
    clock.Advance(2000);
    meter.reset();
    EXPECT_TRUE(link.datagrams.empty());
}

TEST_F(TrafficMeter, StartsTheStatusWindowWhenWantedAndNoneAnswers) {
    struct Case {
        const char* ini;
        uint32_t published;
        bool answers;
        int starts;
    };
    const char* wanted = "[Local Property]\nShowNetRate=1\n";
    for (const Case c : {Case{wanted, 0, false, 1}, Case{wanted, 4242, true, 0}, Case{wanted, 4242, false, 1},
                         Case{nullptr, 0, false, 0}, Case{"[Local Property]\nShowNetRate=0\n", 0, false, 0}}) {
        link.starts = 0;
        link.statusWindow = c.published;
        link.answers = c.answers;
        Make(c.ini);
        EXPECT_EQ(link.starts, c.starts) << (c.ini ? c.ini : "no file") << " published " << c.published;
        meter.reset();
        std::filesystem::remove(files.path() / "KivClient.ini");
    }
}

}  // namespace
}  // namespace kiv
