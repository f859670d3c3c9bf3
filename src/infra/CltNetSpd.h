#pragma once
// TCltNetSpd: the traffic meter. The interception hands it the byte count of
// every completed socket send and receive of the process, on whatever thread
// made it; once a second, on the GUI thread, it takes the traffic of the last
// second and the average rates, and reports them to the floating status window.
// The session window forwards the per-second figures to the server shell.
//
// The totals restart from zero once they reach kTotalResetThreshold (1 TiB):
// far above what a session moves, so the totals stay the session's totals and
// the rates its average since the start; the restart only keeps the average
// meaningful should a session ever move that much.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

#include "infra/NetSpeedReport.h"
#include "ports/StatusWindow.h"
#include "ports/Timer.h"
#include "ports/TrafficInterception.h"

namespace kiv {

struct TKIVFile;

struct TTrafficMeterPorts {
    ITimerFactory& timers;
    // Milliseconds since the system started; read on any thread.
    std::function<uint32_t()> tickCount;
    ITrafficInterception* interception = nullptr;  // none: nothing is counted
    IStatusWindowLink* statusWindow = nullptr;      // none: nothing is reported
    // "KivClient.ini" in the program's folder.
    std::filesystem::path localIni;
};

class TCltNetSpd final : public ITrafficCounter {
public:
    static constexpr int64_t kTotalResetThreshold = int64_t{1} << 40;
    static constexpr int kTickMs = 1000;

    TCltNetSpd(const TTrafficMeterPorts& ports, const TKIVFile& record, uintptr_t ownerWindow);
    ~TCltNetSpd() override;
    TCltNetSpd(const TCltNetSpd&) = delete;
    TCltNetSpd& operator=(const TCltNetSpd&) = delete;

    // Any thread; a count of 0 or less is ignored.
    void AddReceived(int64_t count) override;
    void AddSent(int64_t count) override;
    // Once a second on the GUI thread (the meter's own timer calls it).
    void Tick();

    int32_t SentLastSecond() const { return sent_.lastSecond; }
    int32_t ReceivedLastSecond() const { return received_.lastSecond; }
    int32_t SentRate() const { return sent_.rate; }
    int32_t ReceivedRate() const { return received_.rate; }
    int64_t SentTotal() const { return sent_.total.load(std::memory_order_relaxed); }
    int64_t ReceivedTotal() const { return received_.total.load(std::memory_order_relaxed); }
    bool HookEnabled() const { return hookEnabled_; }
    TNetSpeedReport Report() const;

    // "DisableNetRate" in [Local Property]: only the exact value "1" disables the
    // interception; a missing file or key leaves it enabled.
    static bool ReadHookEnabled(const std::filesystem::path& localIni);
    // "ShowNetRate" in [Local Property] = "1": the client starts the status window
    // when none answers.
    static bool ReadStatusWindowWanted(const std::filesystem::path& localIni);
    // The close message's lParam: characters 4 to 11 of the session id as a
    // number (the digits after the three-letter prefix), 0 when they are not one.
    static uint32_t CloseLParam(std::string_view sessionId);

private:
    struct TSide {
        std::atomic<int64_t> total{0};
        std::atomic<uint32_t> start{0};  // when the total last started from zero
        int64_t base = 0;                // the total at the previous tick
        int32_t lastSecond = 0;
        int32_t rate = 0;
    };
    void Add(TSide& side, int64_t count);
    void TakeSecond(TSide& side, uint32_t now);
    static void ComputeRate(TSide& side, uint32_t now);
    void SendToStatusWindow(const std::vector<uint8_t>& datagram);

    TTrafficMeterPorts ports_;
    const TKIVFile& record_;
    uintptr_t ownerWindow_;
    bool hookEnabled_ = true;
    bool hookInstalled_ = false;
    std::atomic<bool> counting_{false};  // the first counted bytes start the ticks
    TSide sent_, received_;
    std::unique_ptr<ITimer> tickTimer_;
    std::unique_ptr<IStatusBlock> statusBlock_;
};

}  // namespace kiv
