#pragma once
// What the FreeRDP control's end-to-end tests share: the demo server as they
// run it, a control wired to a test loop, and recording fakes for the events
// and the certificate prompt.
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ports/CertificatePrompt.h"
#include "ports/RemoteDesktopControl.h"
#include "ports/RemoteDisplay.h"
#include "platform/freerdp/FreeRdpControl.h"
#include "support/DemoServer.h"
#include "support/TempDir.h"
#include "support/TestMainLoop.h"

namespace kiv::test {

using namespace std::chrono_literals;

// The demo server as the control's tests run it: no shell, only errors in its
// log, the given rules; stopped (SIGTERM to its PID, then waited for) when the
// object goes.
class DemoServerProcess : public DemoServer {
public:
    struct Options {
        std::vector<std::string> steps;
        std::filesystem::path stateDir;  // reuse one to keep the certificate
        bool newCertificate = false;
        int port = 0;  // 0: a free one
        std::vector<std::string> extraArguments;
    };
    explicit DemoServerProcess(const Options& options);
};

inline DemoServerProcess::Options Steps(std::vector<std::string> steps) {
    DemoServerProcess::Options options;
    options.steps = std::move(steps);
    return options;
}

struct RecordedEvent {
    std::string kind;  // "connecting", "connected", "disconnected", "fatal", "data"
    int32_t reason = 0;
    std::string channel;
    TBytes data;
};

class RecordingEvents : public IRemoteDesktopEvents {
public:
    void OnConnecting() override { events.push_back({"connecting", 0, {}, {}}); }
    void OnConnected() override { events.push_back({"connected", 0, {}, {}}); }
    void OnDisconnected(int32_t reason) override { events.push_back({"disconnected", reason, {}, {}}); }
    void OnFatalError(int32_t code) override { events.push_back({"fatal", code, {}, {}}); }
    void OnChannelReceivedData(const std::string& channel, const TBytes& data) override {
        events.push_back({"data", 0, channel, data});
    }

    std::size_t Count(const std::string& kind) const;
    bool Has(const std::string& kind) const { return Count(kind) > 0; }
    std::optional<int32_t> DisconnectReason() const;
    std::vector<std::string> Kinds() const;
    std::vector<TBytes> DataOn(const std::string& channel) const;

    std::vector<RecordedEvent> events;
};

class ScriptedPrompt : public ICertificatePrompt {
public:
    explicit ScriptedPrompt(bool answer) : answer(answer) {}
    bool AcceptCertificate(const TCertificateQuestion& question) override {
        questions.push_back(question);
        return answer;
    }
    bool answer;
    std::vector<TCertificateQuestion> questions;
};

class RecordingDisplayListener : public IRemoteDisplayListener {
public:
    void OnDesktopResized(int32_t width, int32_t height) override { sizes.push_back({width, height}); }
    void OnFrameDamaged(const std::vector<TRect>& damaged) override {
        damage.insert(damage.end(), damaged.begin(), damaged.end());
    }
    std::vector<std::pair<int32_t, int32_t>> sizes;
    std::vector<TRect> damage;
};

// One control against one server: the usual settings of the connect sequence
// (three channels with their options, TLS, the test user) and a private
// configuration folder.
class ControlFixture {
public:
    explicit ControlFixture(bool promptAnswer = true, std::chrono::milliseconds connectTimeout = 10s,
                            std::filesystem::path configPath = {}, bool trustFirstCertificate = false);
    ~ControlFixture();

    void ConfigureFor(const std::string& host, int port);
    // Runs the loop until pred holds; false on timeout.
    bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 12s);
    bool WaitConnected(std::chrono::milliseconds timeout = 12s);
    std::optional<int32_t> WaitDisconnected(std::chrono::milliseconds timeout = 12s);

    // The library reads the keyboard layout from the X server named here; a
    // test must not reach a display that is not its own.
    ScopedEnv noDisplay{"DISPLAY", std::nullopt};
    TestMainLoop loop;
    RecordingEvents events;
    ScriptedPrompt prompt;
    RecordingDisplayListener display;
    TempDir dir;
    std::filesystem::path configPath;
    std::unique_ptr<TFreeRdpControl> control;
};

std::string ToHex(const TBytes& bytes);
TBytes PatternBytes(std::size_t n, uint8_t seed);

}  // namespace kiv::test
