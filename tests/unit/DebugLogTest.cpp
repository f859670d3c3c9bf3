#include "infra/DebugLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kiv {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ScopedEnv;
using test::TempDir;

// Splits the file at CR LF; the text after the last CR LF comes back as the last item.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end - pos));
    lines.push_back(text.substr(pos));
    return lines;
}

const std::regex kLinePattern(R"(\[(\d+)\](\d+)\t(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}) (.*))");

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousPath_ = LogFilePath();
        SetLogFilePath(dir.path() / "KivClient.log");
    }
    void TearDown() override {
        SetLogFilePath(previousPath_);
        DebugSwitches.fill(false);
    }
    fs::path Log() const { return dir.path() / "KivClient.log"; }

    TempDir dir;

private:
    fs::path previousPath_;
};

TEST_F(DebugLogTest, LineCarriesProcessThreadAndLocalTime) {
    InitDebugSwitches("main");
    const std::time_t before = std::time(nullptr);
    WriteLog("[TRdpClient.DisconnectServer]done");
    const std::time_t after = std::time(nullptr);

    const std::string text = ReadFileBytes(Log());
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kLinePattern)) << lines[0];
    EXPECT_EQ(std::stol(m[1]), static_cast<long>(::getpid()));
    EXPECT_EQ(std::stol(m[2]), static_cast<long>(::gettid()));
    EXPECT_EQ(m[9], "[TRdpClient.DisconnectServer]done");

    // The stamp is local time, taken between the two clock readings.
    std::tm stamp{};
    stamp.tm_year = std::stoi(m[3]) - 1900;
    stamp.tm_mon = std::stoi(m[4]) - 1;
    stamp.tm_mday = std::stoi(m[5]);
    stamp.tm_hour = std::stoi(m[6]);
    stamp.tm_min = std::stoi(m[7]);
    stamp.tm_sec = std::stoi(m[8]);
    stamp.tm_isdst = -1;
    const std::time_t written = std::mktime(&stamp);
    EXPECT_GE(written, before);
    EXPECT_LE(written, after);
}

TEST_F(DebugLogTest, AppendsToAnExistingFileAndCreatesAMissingOne) {
    EXPECT_FALSE(fs::exists(Log()));
    WriteLog("first");
    struct stat info {};
    ASSERT_EQ(::stat(Log().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);  // private to the user
    WriteLog("second");

    const std::vector<std::string> lines = SplitLines(ReadFileBytes(Log()));
    ASSERT_EQ(lines.size(), 3u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kLinePattern));
    EXPECT_EQ(m[9], "first");
    ASSERT_TRUE(std::regex_match(lines[1], m, kLinePattern));
    EXPECT_EQ(m[9], "second");

    const fs::path other = dir.Write("old.log", "earlier text\r\n");
    SetLogFilePath(other);
    WriteLog("third");
    const std::string text = ReadFileBytes(other);
    ASSERT_EQ(text.rfind("earlier text\r\n", 0), 0u);
    const std::vector<std::string> appended = SplitLines(text);
    ASSERT_EQ(appended.size(), 3u);
    ASSERT_TRUE(std::regex_match(appended[1], m, kLinePattern));
    EXPECT_EQ(m[9], "third");
}

TEST_F(DebugLogTest, MessageIsWrittenUnchanged) {
    const std::string message = std::string("line one\r\nline two\t%s %d\\") + '\0' + "\xB5\xC7";
    WriteLog(message);
    const std::string text = ReadFileBytes(Log());
    const std::size_t start = text.find("line one");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(text.substr(start), message + "\r\n");
    // Only the first physical line carries the prefix.
    EXPECT_TRUE(std::regex_match(text.substr(0, start) + "x", kLinePattern));
}

TEST_F(DebugLogTest, MissingFoldersAreCreatedPrivate) {
    const fs::path nested = dir.path() / "state/VYNClient6.0/KivClient.log";
    SetLogFilePath(nested);
    WriteLog("hello");
    EXPECT_NE(ReadFileBytes(nested).find("hello\r\n"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(nested.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(DebugLogTest, UnwritableLogIsSwallowed) {
    const fs::path blocker = dir.Write("blocker", "x");
    SetLogFilePath(blocker / "KivClient.log");
    WriteLog("lost");
    SetLogFilePath(blocker / "deeper/KivClient.log");
    WriteLog("lost");
    SetLogFilePath(dir.path());  // a folder, not a file
    WriteLog("lost");
    EXPECT_EQ(ReadFileBytes(blocker), "x");
    EXPECT_FALSE(fs::exists(blocker.parent_path() / "deeper"));
}

TEST_F(DebugLogTest, ThreadsWriteWholeLinesWithTheirOwnIds) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 200;
    std::vector<long> threadIds(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &threadIds] {
            threadIds[t] = static_cast<long>(::gettid());
            for (int i = 0; i < kLinesEach; ++i) WriteLog("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    for (std::thread& thread : threads) thread.join();

    std::vector<std::string> lines = SplitLines(ReadFileBytes(Log()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach + 1));
    std::vector<int> nextLine(kThreads, 0);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, kLinePattern)) << lines[i];
        const std::string body = m[9];
        const int t = body[7] - '0';
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(std::stol(m[2]), threadIds[t]);
        EXPECT_EQ(body, "thread " + std::to_string(t) + " line " + std::to_string(nextLine[t]++));
    }
}

TEST_F(DebugLogTest, AllInAnyCaseSetsEverySlot) {
    for (const char* value : {"all", "ALL", "All"}) {
        DebugSwitches.fill(false);
        InitDebugSwitches(value);
        for (std::size_t slot = 0; slot < kDebugSlotCount; ++slot) EXPECT_TRUE(DebugSwitches[slot]) << value << slot;
    }
}

TEST_F(DebugLogTest, NamedModulesSetOnlyTheirSlots) {
    const auto expectOn = [](std::initializer_list<TDebugModule> on) {
        for (std::size_t slot = 0; slot < kDebugSlotCount; ++slot) {
            bool expected = false;
            for (TDebugModule module : on) expected = expected || slot == static_cast<std::size_t>(module);
            EXPECT_EQ(DebugSwitches[slot], expected) << "slot " << slot;
        }
    };
    InitDebugSwitches("main, sml");
    expectOn({dmMain, dmSml});
    InitDebugSwitches("Speed");
    expectOn({dmSpeed});  // the earlier value does not linger
    InitDebugSwitches("\"Tray\" PRINT,folder shell unknown all,");
    expectOn({dmShell, dmTray, dmPrint, dmFolder});
    InitDebugSwitches("Main Tray");
    expectOn({dmMain, dmTray});
}

TEST_F(DebugLogTest, EmptyValueLeavesLoggingOffAndTouchesNoFile) {
    DebugSwitches.fill(true);
    InitDebugSwitches("");
    for (bool on : DebugSwitches) EXPECT_FALSE(on);
    InitDebugSwitches("  ,  ");
    for (bool on : DebugSwitches) EXPECT_FALSE(on);
    EXPECT_FALSE(fs::exists(Log()));
}

TEST(DebugLogPathTest, DefaultFollowsTheStateFolder) {
    {
        ScopedEnv state("XDG_STATE_HOME", "/var/tmp/state");
        EXPECT_EQ(DefaultLogFilePath(), fs::path("/var/tmp/state/VYNClient6.0/KivClient.log"));
    }
    for (const std::optional<std::string>& unusable : {std::optional<std::string>(), std::optional<std::string>(""),
                                                       std::optional<std::string>("relative")}) {
        ScopedEnv state("XDG_STATE_HOME", unusable);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(DefaultLogFilePath(), fs::path("/home/someone/.local/state/VYNClient6.0/KivClient.log"));
    }
}

}  // namespace
}  // namespace kiv
