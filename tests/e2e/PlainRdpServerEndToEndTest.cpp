// kivclient against xrdp, a plain RDP server without the server shell: the
// connection file comes from kivtool make-kiv, the client's own KivClient.ini
// says the servers have no shell. xrdp runs with its Xvnc back end on
// 127.0.0.1 for a local account the test makes and removes.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "support/ClientSessionHarness.h"
#include "infra/IniImage.h"

namespace kiv {
namespace {

using namespace std::chrono_literals;

bool PortAnswers(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool answers = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return answers;
}

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int RunQuietly(const std::vector<std::string>& argv) {
    test::ChildProcess child(argv);
    return child.Wait(30s).value_or(-1);
}

class PlainRdpServer : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"/usr/sbin/xrdp", "/usr/sbin/xrdp-sesman", "/usr/bin/Xvnc", "/usr/bin/display"})
            if (access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
        if (geteuid() != 0) GTEST_SKIP() << "making the test account needs root";
        if (!harness.DisplayReady()) GTEST_SKIP() << harness.DisplayError();
        // xrdp finds its session manager at the port of the installed configuration.
        const auto installed = TIniImage::FromFile("/etc/xrdp/sesman.ini");
        sesmanPort = installed ? installed->ReadInteger("Globals", "ListenPort", 3350) : 3350;
        if (PortAnswers(sesmanPort)) GTEST_SKIP() << "a session manager already listens on " << sesmanPort;

        user = "kivrdp" + std::to_string(getpid());
        ASSERT_EQ(RunQuietly({"/usr/sbin/useradd", "-m", "-s", "/bin/sh", user}), 0);
        userMade = true;
        ASSERT_EQ(RunQuietly({"/bin/sh", "-c", "echo '" + user + ":" + kPassword + "' | /usr/sbin/chpasswd"}), 0);
        home = getpwnam(user.c_str())->pw_dir;
        // The remote desktop: a root window of one colour, kept until the session ends.
        WriteFile(home / "session.sh",
                  "#!/bin/sh\n/usr/bin/display -window root -size 8x8 xc:'#2e8b57'\nexec sleep 100000\n", 0755);
        StartServers();
    }

    void TearDown() override {
        xrdp.reset();
        sesman.reset();
        if (!userMade) return;
        // The session's programs (Xvnc, the script) run as the test account: all ours.
        for (int round = 0; round < 2; ++round) {
            for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
                const std::string name = entry.path().filename();
                if (name.find_first_not_of("0123456789") != std::string::npos) continue;
                struct stat info {};
                if (stat(entry.path().c_str(), &info) == 0 && info.st_uid == getpwnam(user.c_str())->pw_uid)
                    kill(std::stoi(name), SIGKILL);
            }
            std::this_thread::sleep_for(200ms);
        }
        RunQuietly({"/usr/sbin/userdel", "-r", "-f", user});
    }

    void WriteFile(const std::filesystem::path& path, const std::string& text, unsigned mode = 0644) {
        std::ofstream(path) << text;
        std::filesystem::permissions(path, static_cast<std::filesystem::perms>(mode));
    }

    void StartServers() {
        const auto& dir = harness.Dir().path();
        std::string sesmanIni = ReadText("/etc/xrdp/sesman.ini");
        const std::pair<const char*, std::string> replacements[] = {
            {"ListenAddress", "::ffff:127.0.0.1"},
            {"LogFile", (dir / "sesman.log").string()},
            {"EnableSyslog", "false"},
            {"DefaultWindowManager", (home / "session.sh").string()},
            {"EnableUserWindowManager", "false"},
        };
        for (const auto& [key, value] : replacements)
            sesmanIni = std::regex_replace(sesmanIni, std::regex("\n" + std::string(key) + "=[^\n]*"),
                                           "\n" + std::string(key) + "=" + value);
        WriteFile(dir / "sesman.ini", sesmanIni);
        port = FreePort();
        WriteFile(dir / "xrdp.ini",
                  "[Globals]\nini_version=1\nfork=false\nport=tcp://127.0.0.1:" + std::to_string(port) +
                      "\nsecurity_layer=negotiate\ncrypt_level=high\ncertificate=\nkey_file=\nautorun=Xvnc\n"
                      "allow_channels=true\nmax_bpp=32\n[Logging]\nLogFile=" + (dir / "xrdp.log").string() +
                      "\nLogLevel=INFO\nEnableSyslog=false\n[Xvnc]\nname=Xvnc\nlib=libvnc.so\nusername=ask\n"
                      "password=ask\nip=127.0.0.1\nport=-1\n");
        sesman = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/sbin/xrdp-sesman", "-n", "-c", (dir / "sesman.ini").string()},
            std::map<std::string, std::string>{}, (dir / "sesman.out").string());
        xrdp = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/sbin/xrdp", "-n", "-c", (dir / "xrdp.ini").string()},
            std::map<std::string, std::string>{}, (dir / "xrdp.out").string());
        ASSERT_TRUE(test::WaitFor([&] { return PortAnswers(port) && PortAnswers(sesmanPort); }, 10s))
            << ReadText(dir / "xrdp.log") << ReadText(dir / "sesman.log");
    }

    // A program folder of the client's own, with a KivClient.ini that says the
    // servers have no shell and waits only two seconds for each logon step.
    std::filesystem::path PrivateClient() {
        const auto folder = harness.Dir().path() / "program";
        const std::filesystem::path built = std::filesystem::path(KIVCLIENT_PATH).parent_path();
        std::filesystem::create_directories(folder);
        std::error_code linked;
        std::filesystem::create_hard_link(KIVCLIENT_PATH, folder / "kivclient", linked);
        if (linked) std::filesystem::copy_file(KIVCLIENT_PATH, folder / "kivclient");
        for (const char* part : {"Resource.ini", "Language", "Images"})
            std::filesystem::copy(built / part, folder / part, std::filesystem::copy_options::recursive);
        WriteFile(folder / "KivClient.ini", "[Local Property]\nServerShell=0\n[KivClient]\nTimeOut=2000\n");
        return folder / "kivclient";
    }

    // The colour of one screen pixel, as ImageMagick names it ("#2E8B57").
    std::string PixelAt(int x, int y) {
        auto shot = harness.Run({"/usr/bin/import", "-window", "root", "-crop",
                                 "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "txt:-"});
        std::string colour;
        while (auto line = shot->ReadLine(10s))
            if (const auto hash = line->find('#'); hash != std::string::npos) colour = line->substr(hash, 7);
        shot->Wait(10s);
        return colour;
    }

    static constexpr const char* kPassword = "Kiv-test-42";
    test::ClientSessionHarness harness;
    std::string user;
    bool userMade = false;
    std::filesystem::path home;
    int sesmanPort = 0, port = 0;
    std::unique_ptr<test::ChildProcess> sesman, xrdp;
};

TEST_F(PlainRdpServer, ShowsTheDesktopWithoutTheShellAndTellsTheLostConnection) {
    const auto file = harness.Dir().path() / "own.kiv";
    auto made = harness.Run({KIVTOOL_PATH, "make-kiv", "--server", "127.0.0.1:" + std::to_string(port), "--user", user,
                             "--password", kPassword, "--out", file.string()});
    ASSERT_EQ(made->Wait(10s), 0);

    auto client = harness.Run({PrivateClient().string(), file.string()});
    // The window of 1024 x 768 sits in the middle of the 1280 x 800 screen.
    const bool shown = test::WaitFor([&] { return PixelAt(640, 400) == "#2E8B57"; }, 40s);
    const auto shot = std::filesystem::path(KIVCLIENT_PATH).parent_path().parent_path() / "test-artifacts" / "xrdp-desktop.png";
    std::filesystem::create_directories(shot.parent_path());
    harness.Run({"/usr/bin/import", "-window", "root", shot.string()})->Wait(10s);
    EXPECT_TRUE(shown) << "the remote desktop never showed; pixel " << PixelAt(640, 400) << ", screen in " << shot;
    // Longer than the logon time-out: no watchdog waits for a shell that never speaks.
    std::this_thread::sleep_for(4s);
    EXPECT_TRUE(harness.MessageBoxes().empty());
    EXPECT_FALSE(client->Wait(0ms).has_value()) << "the client ended on its own";
    EXPECT_EQ(PixelAt(640, 400), "#2E8B57");

    // The server goes away without a word: the lost connection is told and the client ends.
    kill(xrdp->Pid(), SIGKILL);
    EXPECT_EQ(client->Wait(30s), 0);
    const auto boxes = harness.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const auto english = TIniImage::FromFile(std::filesystem::path(KIVCLIENT_PATH).parent_path() / "Language" / "en-US.ini");
    ASSERT_TRUE(english);
    EXPECT_EQ(boxes[0]["text"], english->ReadString("TEXT", "L_NetworkErr_ErrorMessage", "?"));
    EXPECT_EQ(boxes[0]["icon"], 0);
}

}  // namespace
}  // namespace kiv
