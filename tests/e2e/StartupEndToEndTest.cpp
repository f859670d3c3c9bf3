// How kivclient starts, as a newcomer meets it: its usage and version, a file
// that is not there, a file that is no connection file, no display, a set-up the
// control refuses (the repair tool is offered), and the file types registered
// for the user exactly when a session is being set up.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/ClientSessionHarness.h"
#include "infra/IniImage.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

std::string Text(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string English(const char* key) {
    const auto file = TIniImage::FromFile(std::filesystem::path(KIVCLIENT_PATH).parent_path() / "Language" / "en-US.ini");
    return file ? file->ReadString("TEXT", key, "?") : "?";
}

TEST(KivClientStartup, EachRoadEndsAsItShould) {
    test::ClientSessionHarness harness;
    if (!harness.DisplayReady()) GTEST_SKIP() << harness.DisplayError();
    const auto& dir = harness.Dir().path();
    const std::string missing = (dir / "missing.kiv").string();
    const std::string noSections = harness.Dir().Write("page.kiv", "<html><body>Not found</body></html>\n").string();
    const std::string unreachable =
        harness.Dir().Write("closed.kiv", "[Session]\nScreen_FULL=0\n[Server]\nServer_Address=127.0.0.1:1\n").string();
    const std::string refused =
        harness.Dir().Write("refused.kiv", "[Session]\nScreen_FULL=0\n[Server]\nServer_Address=127.0.0.1:70000\n").string();

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;         // the start of the first line on stdout, "" for none
        std::string box;         // a text the recorded boxes hold, "" for no box
        bool registered;         // the desktop entry is written
        bool display = true;
    } cases[] = {
        {{"--help"}, 0, "usage: kivclient", "", false},
        {{"-h"}, 0, "usage: kivclient", "", false},
        {{"--version"}, 0, "kivclient 0.1 (FreeRDP 2.", "", false},
        {{missing}, 0, "", "The file to open does not exist: " + missing, false},
        {{noSections}, 0, "", English("ErrReadKIV"), false},
        {{unreachable}, 0, "", English("L_NotResponding_ErrorMessage"), true},
        // The control refuses the port: the repair tool is offered (and declined).
        {{refused}, 0, "", English("L_TryToFix_Message"), true},
        {{unreachable}, 1, "", "", false, false},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.display ? "" : " without a display"));
        auto env = harness.Env();
        const auto data = dir / ("data-" + std::to_string(index));
        const auto boxes = dir / ("boxes-" + std::to_string(index) + ".jsonl");
        const auto err = dir / ("stderr-" + std::to_string(index++));
        env["XDG_DATA_HOME"] = data.string();
        env["KIV_TEST_MESSAGE_LOG"] = boxes.string();
        if (!c.display) env["DISPLAY"] = "";
        std::vector<std::string> argv{KIVCLIENT_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ChildProcess client(argv, env, err.string());
        const auto first = client.ReadLine(30s);
        EXPECT_EQ(client.Wait(30s), c.exitCode);
        if (c.out.empty()) {
            EXPECT_FALSE(first) << first.value_or("");
        } else {
            EXPECT_EQ(first.value_or("").rfind(c.out, 0), 0u) << first.value_or("<nothing>");
        }
        if (c.box.empty()) {
            EXPECT_EQ(Text(boxes), "");
        } else {
            EXPECT_NE(Text(boxes).find(c.box), std::string::npos) << Text(boxes);
        }
        const auto entry = data / "applications" / "kivclient.desktop";
        EXPECT_EQ(std::filesystem::exists(entry), c.registered);
        if (c.registered) {
            EXPECT_NE(Text(entry).find("\nExec=" + std::string(KIVCLIENT_PATH) + " %u\n"), std::string::npos)
                << Text(entry);
            EXPECT_TRUE(std::filesystem::exists(data / "mime" / "packages" / "kivclient.xml"));
            EXPECT_TRUE(std::filesystem::exists(data / "icons" / "hicolor" / "scalable" / "apps" / "kivclient.svg"));
        }
        if (!c.display) {
            EXPECT_NE(Text(err).find("kivclient: no X display"), std::string::npos) << Text(err);
        }
    }
}

}  // namespace
}  // namespace kiv
