// kiv-demo-server: an RDP server on 127.0.0.1 for the demo and the tests.
// See HelpText (ServerOptions.cpp) and docs/demo-server.md.
#include <fcntl.h>
#include <freerdp/channels/channels.h>
#include <signal.h>
#include <unistd.h>
#include <winpr/ssl.h>
#include <winpr/wlog.h>
#include <winpr/wtsapi.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tools/demo-server/DemoServer.h"
#include "tools/demo-server/SamFile.h"
#include "tools/demo-server/ScenarioParser.h"
#include "tools/demo-server/ServerIdentity.h"
#include "tools/demo-server/ServerOptions.h"

namespace {

using namespace kiv::demo;

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    if (write(g_stopPipe[1], &byte, 1) < 0) {
        // The pipe is full: a stop is already on its way.
    }
}

void InstallSignals() {
    if (pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe2 failed");
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// FreeRDP logs to stdout by default; stdout carries only the "listening on" line.
void ConfigureFreeRdpLog(const std::string& level) {
    wLog* root = WLog_GetRoot();
    // An appender chosen through FreeRDP's own WLOG_APPENDER variable is left as it is.
    if (!std::getenv("WLOG_APPENDER")) {
        WLog_SetLogAppenderType(root, WLOG_APPENDER_CONSOLE);
        if (wLogAppender* appender = WLog_GetLogAppender(root)) {
            WLog_ConfigureAppender(appender, "outputstream", const_cast<char*>("stderr"));
        }
    }
    if (!level.empty() && !WLog_SetStringLogLevel(root, level.c_str())) {
        throw TUsageError("unknown --log-level '" + level + "'");
    }
}

std::shared_ptr<const TScenario> ReadScenario(const TServerOptions& options) {
    auto scenario = std::make_shared<TScenario>();
    if (options.scenarioFile) {
        std::ifstream in(*options.scenarioFile, std::ios::binary);
        if (!in) throw std::runtime_error("cannot read the scenario " + options.scenarioFile->string());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ParseScenarioText(text, options.scenarioFile->string(), *scenario);
    }
    for (std::size_t i = 0; i < options.steps.size(); ++i) {
        ParseScenarioText(options.steps[i], "--step " + std::to_string(i + 1), *scenario);
    }
    return scenario;
}

int Serve(const TServerOptions& options) {
    InstallSignals();
    ConfigureFreeRdpLog(options.logLevel);
    winpr_InitializeSSL(WINPR_SSL_INIT_DEFAULT);
    WTSRegisterWtsApiFunctionTable(FreeRDP_InitWtsApi());

    const TServerClock clock;
    const auto scenario = ReadScenario(options);
    const TServerIdentity identity = PrepareServerIdentity(options.stateDir, options.newCertificate);
    TServerShared shared;
    shared.peer.certificateFile = identity.certificateFile;
    shared.peer.keyFile = identity.keyFile;
    if (options.nla)
        shared.peer.samFile = WriteSamFile(options.stateDir, options.user, options.domain, options.password);
    else if (!options.password.empty())
        shared.peer.tlsPassword = options.password;
    shared.peer.width = options.width;
    shared.peer.height = options.height;
    shared.peer.color = options.color;
    shared.scenario = scenario;
    shared.once = std::make_shared<TOnceRegistry>();
    shared.shellSessions = std::make_shared<TShellSessions>();
    shared.peer.shell = options.shell;
    shared.peer.displayControl = options.displayControl;
    shared.peer.transcriptSecrets = options.transcriptSecrets;
    shared.handshakeTimeoutMs = options.handshakeTimeoutMs;
    shared.idleTimeoutMs = options.idleTimeoutMs;
    std::unique_ptr<TTranscript> transcript = options.transcript
                                                  ? std::make_unique<TTranscript>(clock, *options.transcript)
                                                  : std::make_unique<TTranscript>(clock);
    shared.transcript = transcript.get();
    shared.clock = &clock;

    TDemoServer server(shared);
    const int port = server.Listen(options.port);
    TJson listening;
    listening["event"] = "listening";
    listening["port"] = port;
    listening["certificate_sha256"] = identity.sha256;
    transcript->Write(std::move(listening));
    std::cout << "listening on 127.0.0.1:" << port << std::endl;
    server.Run(g_stopPipe[0]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const TServerOptions options = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::cout << HelpText();
            return 0;
        }
        return Serve(options);
    } catch (const TUsageError& error) {
        std::cerr << "kiv-demo-server: " << error.what() << "\n(see kiv-demo-server --help)\n";
        return 2;
    } catch (const TScenarioError& error) {
        std::cerr << "kiv-demo-server: " << error.what() << "\n(see kiv-demo-server --help)\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "kiv-demo-server: " << error.what() << "\n";
        return 1;
    }
}
