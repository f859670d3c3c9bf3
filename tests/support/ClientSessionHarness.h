#pragma once
// What an end-to-end test of the client needs: a private desktop (display,
// window manager, panel), the demo server, the client, and the server's record.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/DemoServer.h"
#include "support/DesktopSession.h"
#include "support/TempDir.h"

namespace kiv::test {

class ClientSessionHarness {
public:
    // screen: Xvfb's "-screen 0" geometry.
    explicit ClientSessionHarness(const std::string& screen = "1280x800x24");
    bool DisplayReady() const { return desktop_.Started(); }
    std::string DisplayError() const { return desktop_.Error(); }

    // The demo server with these extra arguments; answers its port (0 when it did not start).
    int StartServer(const std::vector<std::string>& arguments);
    std::unique_ptr<ChildProcess> StartClient(const std::vector<std::string>& arguments,
                                              const std::map<std::string, std::string>& extraEnv = {});
    std::unique_ptr<ChildProcess> Run(const std::vector<std::string>& argv);
    // Runs a program on the display and answers what it printed.
    std::string Output(const std::vector<std::string>& argv);
    // The screen's colour at a point, 0xRRGGBB (0xFFFFFFFF when it cannot be read).
    uint32_t PixelAt(int x, int y);
    // Ends the panel with this signal (SIGTERM: it tidies up; SIGKILL: it
    // cannot); StartPanel starts a fresh one, with tint2's arguments.
    void StopPanel(int signal);
    void StartPanel(const std::vector<std::string>& arguments = {});

    std::vector<nlohmann::json> TranscriptEvents(const std::string& event) const;
    // The messages the server received on CSML (upper-case hex).
    std::vector<std::string> ReceivedOnCsml() const;
    // Whether at least `count` of them start with the prefix.
    bool ReceivedStarting(const std::string& hexPrefix, int count = 1) const;
    // What the client recorded: message boxes and questions, and apart from them the
    // certificate questions ({"host","port","subject","issuer","fingerprint","oldFingerprint"}).
    std::vector<nlohmann::json> MessageBoxes() const { return Recorded(dir_.path(), false); }
    std::vector<nlohmann::json> CertificateQuestions() const { return Recorded(dir_.path(), true); }

    // Several clients on the one display, each with its folders, settings, log
    // and record of message boxes under a folder of its own.
    std::map<std::string, std::string> EnvIn(const std::filesystem::path& folder) const;
    static std::vector<nlohmann::json> MessageBoxesIn(const std::filesystem::path& folder);
    // A copy of the client (with what it reads beside itself) whose "KivClient.ini"
    // is `localIni`, under the test's folder. The client is this build's, or the
    // one KIV_E2E_CLIENT names (a build with sanitizers, say).
    std::filesystem::path ClientCopy(const std::string& localIni);

    const TempDir& Dir() const { return dir_; }
    const std::map<std::string, std::string>& Env() const { return env_; }

private:
    static std::vector<nlohmann::json> Recorded(const std::filesystem::path& folder, bool certificates);
    TempDir dir_;
    DesktopSession desktop_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<DemoServer> server_;
};

}  // namespace kiv::test
