// The transcript's line format and the NTLM account line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/TempDir.h"
#include "tools/demo-server/SamFile.h"
#include "tools/demo-server/Transcript.h"

namespace kiv::demo {
namespace {

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

TEST(Transcript, WritesFlushedJsonLinesWithTheTimeLast) {
    kiv::test::TempDir dir;
    const TServerClock clock;
    const auto path = dir.path() / "t.jsonl";
    TTranscript transcript(clock, path);
    TJson line;
    line["event"] = "recv";
    line["channel"] = "CSML";
    line["hex"] = "5A2E07";
    transcript.Write(line);
    // Readable while the server still runs.
    auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(R"({"event":"recv","channel":"CSML","hex":"5A2E07","time_ms":)", 0), 0u) << lines[0];
    const auto parsed = nlohmann::json::parse(lines[0]);
    EXPECT_GE(parsed["time_ms"].get<long>(), 0);

    TJson bad;
    bad["event"] = "logon";
    bad["user"] = std::string("\xFF\xFEok");
    transcript.Write(bad);
    lines = Lines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NO_THROW(nlohmann::json::parse(lines[1]));
    EXPECT_NE(lines[1].find("ok"), std::string::npos);
}

TEST(Transcript, RefusesAPathItCannotWrite) {
    const TServerClock clock;
    EXPECT_THROW(TTranscript(clock, "/nonexistent-folder/t.jsonl"), std::runtime_error);
    TTranscript nothing(clock);
    TJson line;
    line["event"] = "x";
    EXPECT_NO_THROW(nothing.Write(line));
}

TEST(SamFile, WritesTheLineWinprHashPrints) {
    // winpr-hash -u demo -p pw -d DOM -f sam
    EXPECT_EQ(SamLine("demo", "DOM", "pw"), "demo:DOM::8cc19b6a8cfeac299c2871c86b38de28:::");
    EXPECT_EQ(SamLine("demo", "", "pw"), "demo:::8cc19b6a8cfeac299c2871c86b38de28:::");
    kiv::test::TempDir dir;
    const auto path = WriteSamFile(dir.path() / "state", "demo", "DOM", "pw");
    EXPECT_EQ(Lines(path), std::vector<std::string>{"demo:DOM::8cc19b6a8cfeac299c2871c86b38de28:::"});
    EXPECT_EQ(std::filesystem::status(path).permissions() &
                  (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
}

}  // namespace
}  // namespace kiv::demo
