#pragma once
// Stand-ins for the traffic meter's ports: an interception the test drives by
// hand, and a status window that records what reaches it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "infra/CltNetSpd.h"
#include "ports/StatusWindow.h"
#include "ports/TrafficInterception.h"
#include "support/ManualClock.h"

namespace kiv::test {

struct FakeInterception : ITrafficInterception {
    bool InstallHook(ITrafficCounter& c, bool) override {
        ++installs;
        counter = &c;
        return available;
    }
    void RemoveHook() override { counter = nullptr; }
    void Revalidate() override {}
    TKernelTrafficCounts KernelCounts() override { return {}; }
    bool available = true;
    int installs = 0;
    ITrafficCounter* counter = nullptr;
};

struct FakeStatusLink : IStatusWindowLink {
    struct Block : IStatusBlock {
        explicit Block(FakeStatusLink& l) : link(l) {}
        uint32_t GetStatusWindow() const override { return link.statusWindow; }
        FakeStatusLink& link;
    };
    std::unique_ptr<IStatusBlock> OpenStatusBlock() override { return std::make_unique<Block>(*this); }
    bool Answers(uint32_t window) const override { return window != 0 && answers; }
    void Send(uint32_t window, const std::vector<uint8_t>& datagram) override {
        sentTo.push_back(window);
        datagrams.push_back(datagram);
    }
    bool StartStatusWindow() override {
        ++starts;
        return true;
    }
    uint32_t statusWindow = 0;
    bool answers = true;
    int starts = 0;
    std::vector<uint32_t> sentTo;
    std::vector<std::vector<uint8_t>> datagrams;
};

// Milliseconds of the manual clock, as the meter's tick count.
inline std::function<uint32_t()> TickCountOf(const ManualClock& clock) {
    return [&clock] {
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now().time_since_epoch()).count());
    };
}

}  // namespace kiv::test
