// kivtool decode on the seamless and shell messages the demo server and the
// client exchange: the fields as the client's own readers see them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

Json Decode(const std::string& channel, const std::string& hex) {
    test::ChildProcess run({KIVTOOL_PATH, "decode", channel, hex});
    std::string out;
    while (auto line = run.ReadLine(10s)) out += *line + "\n";
    EXPECT_EQ(run.Wait(10s), 0) << out;
    return Json::parse(out, nullptr, false);
}

TEST(KivtoolDecode, AWindowUpdateWithTitleAndRegion) {
    // Handle 0x10010, create+icon flags, in the taskbar, no icon bytes, a
    // 48-byte region of one rectangle, menu style, (100,50)-(300,250), title "Ab".
    const std::string hex = "3FEE03" "1000010000000000" "0600" "01" "00000000" "30000000" "00008094"
                            "6400" "3200" "2C01" "FA00" "04000000" "41006200"
                            "20000000" "01000000" "01000000" "10000000" "00000000000000000A0000000A000000"
                            "00000000" "00000000" "0A000000" "0A000000";
    const Json j = Decode("CSML", hex);
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(j["Family"], "seamless");
    const Json& w = j["Seamless"];
    EXPECT_EQ(w["Message"], "window update");
    EXPECT_EQ(w["ServerHandle"], 0x10010);
    EXPECT_EQ(w["FlagNames"], Json::array({"SML_ICON", "SML_CREATE_MOVE"}));
    EXPECT_EQ(w["Style"], "0x94800000");
    EXPECT_EQ(w["Menu"], true);
    EXPECT_EQ(w["Right"], 300);
    EXPECT_EQ(w["Title"], "Ab");
    EXPECT_EQ(w["Region"], Json::parse("[[0,0,10,10]]"));
    EXPECT_EQ(w["RegionOnScreen"], Json::parse("[[100,50,110,60]]"));
    // A region that does not fit in the message drops it, as the client does.
    EXPECT_EQ(Decode("CSML", hex.substr(0, hex.size() - 8))["Seamless"]["Dropped"], "its parts do not fit in len");
}

TEST(KivtoolDecode, WindowEventsAndShellMessages) {
    const Json menu = Decode("CSML", "3FEE03" "1000010000000000" "0001" "E803BC02" "00000000" "00");
    EXPECT_EQ(menu["Seamless"]["CommandName"], "SML_CMD_SYSMENU");
    EXPECT_EQ(menu["Seamless"]["CursorX"], 1000);
    EXPECT_EQ(menu["Seamless"]["CursorY"], 700);
    const Json closing = Decode("CSML", "3FEE03" "2000010000000000" "0020" "0000000000000000" "00");
    EXPECT_EQ(closing["Seamless"]["CommandName"], "SML_CMD_CLOSE");
    EXPECT_EQ(closing["Seamless"]["ServerHandle"], 0x10020);

    // The server's reconnection event with session 7, padded to 18 bytes.
    const Json reconnect = Decode("CSML", "5A2E07" "0080" "07000000" "00000000" "00000000" "00");
    EXPECT_EQ(reconnect["Shell"]["AsServerMessage"]["TypeName"], "MSG_WINLOGON_SESSION_RECONNECT");
    EXPECT_EQ(reconnect["Shell"]["AsServerMessage"]["Param1"], 7);
    EXPECT_FALSE(reconnect["Shell"].contains("AsClientMessage")) << "shorter than any client message";
    const Json policy = Decode("CSMP", "5A2E07" "1500" "0100" "1E00" "0000000000000000000000");
    EXPECT_EQ(policy["Shell"]["AsServerMessage"]["Enabled"], true);
    EXPECT_EQ(policy["Shell"]["AsServerMessage"]["LimitSeconds"], 30);
    // The client's application start: Name, Value, Text.
    const Json start = Decode("CSML", "5A2E07" "0400" "415050303030310000000000" "01000000" "2F646F6300");
    const Json& client = start["Shell"]["AsClientMessage"];
    EXPECT_EQ(client["TypeName"], "SHELL_START_APP");
    EXPECT_EQ(client["Name"], "APP0001");
    EXPECT_EQ(client["Value"], 1);
    EXPECT_EQ(client["Text"], "/doc");
    EXPECT_EQ(Decode("CSML", "5A2E0704")["Shell"]["Dropped"], "len below 17");
}

}  // namespace
}  // namespace kiv
