#pragma once
// The demo server's command line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/demo-server/DesktopPattern.h"
#include "tools/demo-server/ShellOptions.h"

namespace kiv::demo {

// A wrong command line; main prints it with a pointer to --help and exits 2.
class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TServerOptions {
    bool help = false;
    int port = -1;  // 0: any free port
    std::filesystem::path stateDir;
    std::optional<std::filesystem::path> transcript;
    std::optional<std::filesystem::path> scenarioFile;
    std::vector<std::string> steps;
    std::string user;
    std::string password;
    std::string domain;
    bool nla = false;
    bool newCertificate = false;
    std::optional<int> width;
    std::optional<int> height;
    std::uint32_t color = kDemoDesktopColor;
    std::string logLevel;  // FreeRDP's log level; empty keeps FreeRDP's default
    bool displayControl = false;  // offer the display-control channel
    bool transcriptSecrets = false;    // the logon's password in the transcript as it came
    int handshakeTimeoutMs = 30000;    // from accept until the session is active; 0: none
    int idleTimeoutMs = 900000;        // no byte either way; 0: none
    TShellOptions shell;
};

// Arguments without the program name. Throws TUsageError.
TServerOptions ParseServerOptions(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace kiv::demo
