#include "channels/Watermark.h"

#include <gtest/gtest.h>

#include "launch/CredentialCodec.h"
#include "support/TempDir.h"

namespace kiv {
namespace {

TEST(Watermark, AFinalPercentSBecomesABlankAndTheUser) {
    const struct {
        const char* pattern;
        const char* expected;
    } cases[] = {
        {"Confidential %s", "Confidential  ann"},
        {"%s", " ann"},
        {"Confidential", "Confidential"},
        {"%s at the start", "%s at the start"},
        {"100%", "100%"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(WatermarkText(c.pattern, "ann"), c.expected) << c.pattern;
}

TEST(Watermark, TheConnectionsTextReachesTheScreenInUtf8) {
    test::ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    TKIVFile record;
    record.UserName = TextToHex("\xD5\xC5\xC8\xFD");  // 张三 in GBK, hex as the file has it
    EXPECT_EQ(WatermarkDisplayText(record), "");     // no pattern: no watermark
    record.Watermark = "\xC4\xDA\xB2\xBF%s";          // 内部%s
    EXPECT_EQ(WatermarkDisplayText(record), "内部 张三");
}

TEST(Watermark, TextIsTiledEveryThreeHundredPixelsInsideTheMargins) {
    std::vector<std::pair<int, int>> origins;
    for (const auto& o : WatermarkOrigins(700, 500)) origins.emplace_back(o.x, o.y);
    EXPECT_EQ(origins, (std::vector<std::pair<int, int>>{{20, 100}, {320, 100}, {620, 100}, {20, 400}, {320, 400}, {620, 400}}));
    EXPECT_EQ(WatermarkOrigins(670, 430).size(), 2u);  // 620 and 400 are not below the margins
    EXPECT_TRUE(WatermarkOrigins(0, 0).empty());
}

}  // namespace
}  // namespace kiv
