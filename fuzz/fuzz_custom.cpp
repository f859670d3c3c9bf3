// Any bytes as a custom message of the server (its address asked for, the video
// programs started): the payload reaches the handler with the padding and len
// of the channel layer; then every timer it set fires. Answers must be whole
// messages, and command lines go only to the client's folder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "FuzzDesktop.h"
#include "channels/ChannelPayload.h"
#include "channels/CustomMessages.h"

namespace {

using namespace kiv;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string&, const TBytes& data) override {
        if (data.size() < kCustomMessageSize) __builtin_trap();
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
};

struct Runner : ICommandRunner {
    bool RunShellCommand(const std::string& line, const std::string& folder, bool) override {
        if (folder != "/opt/kivclient" || line.empty()) __builtin_trap();
        return true;
    }
};

// Timers that fire when the target says so.
struct Timers : ITimerFactory {
    struct Timer : ITimer {
        explicit Timer(std::function<void()> f, std::vector<Timer*>& all) : fire(std::move(f)), all(all) {
            all.push_back(this);
        }
        ~Timer() override { std::erase(all, this); }
        void Start(int) override { active = true; }
        void Stop() override { active = false; }
        bool Active() const override { return active; }
        std::function<void()> fire;
        std::vector<Timer*>& all;
        bool active = false;
    };
    std::unique_ptr<ITimer> CreateTimer(std::function<void()> onTimeout) override {
        return std::make_unique<Timer>(std::move(onTimeout), all);
    }
    std::chrono::system_clock::time_point Now() const override { return {}; }
    void FireAll() {
        for (const std::vector<Timer*> now = all; Timer* t : now)
            if (std::find(all.begin(), all.end(), t) != all.end() && t->active) {
                t->active = false;
                t->fire();
            }
    }
    std::vector<Timer*> all;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host host;
    fuzz::FixedDesktop desktop;
    TReconnectPolicy policy;
    TMsgShell shell(host, desktop, nullptr, policy, TShellContext{});
    TKIVFile record;
    record.ServerAddress = "10.0.0.1:3389";
    Runner runner;
    Timers timers;
    {
        TCustomMessageHandler handler(shell, record, &runner, timers,
                                      TCustomMessageHandler::TContext{"/opt/kivclient", [] { return uint64_t{0x2a}; }});
        const TReceivedMessage received = UnwrapReceived(TBytes(data, data + size));
        handler.ProcessCustomMsg(received.buffer.data(), received.len);
        timers.FireAll();
    }
    return 0;
}
