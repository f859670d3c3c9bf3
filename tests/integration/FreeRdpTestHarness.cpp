#include "FreeRdpTestHarness.h"

namespace kiv::test {

namespace {

std::vector<std::string> ServerArguments(const DemoServerProcess::Options& options) {
    std::vector<std::string> args = {"--no-shell", "--port", std::to_string(options.port), "--log-level", "ERROR"};
    if (!options.stateDir.empty()) args.insert(args.end(), {"--state-dir", options.stateDir.string()});
    if (options.newCertificate) args.push_back("--new-certificate");
    for (const auto& step : options.steps) args.insert(args.end(), {"--step", step});
    args.insert(args.end(), options.extraArguments.begin(), options.extraArguments.end());
    return args;
}

}  // namespace

DemoServerProcess::DemoServerProcess(const Options& options) : DemoServer(ServerArguments(options)) {}

std::size_t RecordingEvents::Count(const std::string& kind) const {
    std::size_t n = 0;
    for (const auto& event : events) n += event.kind == kind;
    return n;
}

std::optional<int32_t> RecordingEvents::DisconnectReason() const {
    for (const auto& event : events)
        if (event.kind == "disconnected") return event.reason;
    return std::nullopt;
}

std::vector<std::string> RecordingEvents::Kinds() const {
    std::vector<std::string> kinds;
    for (const auto& event : events)
        if (event.kind != "data") kinds.push_back(event.kind);
    return kinds;
}

std::vector<TBytes> RecordingEvents::DataOn(const std::string& channel) const {
    std::vector<TBytes> data;
    for (const auto& event : events)
        if (event.kind == "data" && event.channel == channel) data.push_back(event.data);
    return data;
}

ControlFixture::ControlFixture(bool promptAnswer, std::chrono::milliseconds connectTimeout,
                               std::filesystem::path config, bool trustFirstCertificate)
    : prompt(promptAnswer), configPath(config.empty() ? dir.path() / "freerdp" : config) {
    TFreeRdpControlOptions options;
    options.trustFirstCertificate = trustFirstCertificate;
    options.configPath = configPath.string();
    options.connectTimeout = connectTimeout;
    options.homeFolder = dir.path().string();
    control = std::make_unique<TFreeRdpControl>(loop, prompt, options);
    control->SetEvents(&events);
    control->SetDisplayListener(&display);
}

ControlFixture::~ControlFixture() { control.reset(); }

void ControlFixture::ConfigureFor(const std::string& host, int port) {
    control->CreateVirtualChannels("CSML,CSMT,CSMP");
    IAdvancedSettings* advanced = control->AdvancedSettings(TAdvancedSettingsLevel::Level3);
    advanced->SetEnableAutoReconnect(true);
    control->SetVirtualChannelOptions("CSMP", 0x08200000);
    control->SetVirtualChannelOptions("CSML", 0x08200000);
    control->SetVirtualChannelOptions("CSMT", 0x08800000);
    control->SetServer(host);
    advanced->SetRDPPort(port);
    control->SetUserName("tester");
    control->SetDomain("DEMO");
    advanced->SetClearTextPassword("secret");
    control->SetColorDepth(32);
    control->SetDesktopWidth(1024);
    control->SetDesktopHeight(768);
    control->SecuredSettings()->SetAudioRedirectionMode(2);
}

bool ControlFixture::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    return loop.RunUntil(pred, timeout);
}

bool ControlFixture::WaitConnected(std::chrono::milliseconds timeout) {
    return RunUntil([&] { return events.Has("connected") || events.Has("disconnected"); }, timeout) &&
           events.Has("connected");
}

std::optional<int32_t> ControlFixture::WaitDisconnected(std::chrono::milliseconds timeout) {
    RunUntil([&] { return events.Has("disconnected"); }, timeout);
    return events.DisconnectReason();
}

std::string ToHex(const TBytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

TBytes PatternBytes(std::size_t n, uint8_t seed) {
    TBytes bytes(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return bytes;
}

}  // namespace kiv::test
