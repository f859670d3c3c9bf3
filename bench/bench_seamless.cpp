// What one seamless update costs: the server shell moves a window, the handler
// updates its record and re-clips the session window where that window's part
// of the shape changed. Figures for 10, 100 and 200 windows; a quarter of the
// windows carry a region of a few rectangles, as shaped windows do.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/MsgSml.h"

namespace {

using namespace kiv;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string&, const TBytes&) override {}
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
};

struct Taskbar : ITaskbarWindows {
    void SetEventSink(ITaskbarWindowEvents*) override {}
    TTaskbarHandle CreateTaskbarWindow(const std::string&, const TIconImage*, const std::u16string&) override {
        return next++;
    }
    void DestroyTaskbarWindow(TTaskbarHandle) override {}
    bool WindowExists(TTaskbarHandle) const override { return true; }
    void SetTitle(TTaskbarHandle, const std::u16string&) override {}
    void SetWindowRect(TTaskbarHandle, const TRect&) override {}
    void ShowTaskbarWindow(TTaskbarHandle) override {}
    void HideTaskbarWindow(TTaskbarHandle) override {}
    bool MinimizeTaskbarWindow(TTaskbarHandle) override { return true; }
    bool IsActiveWindow(TTaskbarHandle) const override { return false; }
    bool ForceForegroundWindow(TTaskbarHandle) override { return true; }
    void SwitchToNextTaskWindow(TTaskbarHandle) override {}
    void CursorPos(int32_t& x, int32_t& y) const override { x = y = 0; }
    TTaskbarHandle next = 1;
};

// Keeps the shape as the Qt adapter would receive it.
struct Surface : ISeamlessSurface {
    void SetSessionRegion(const std::vector<TRect>& r) override { rects = r.size(); }
    void SetImeRegion(const std::vector<TRect>&) override {}
    void ActivateSessionWindow() override {}
    TRect PrimaryScreen() const override { return TRect{0, 0, 1920, 1080}; }
    std::size_t rects = 0;
};

TBytes Update(int64_t handle, int16_t left, int16_t top, bool shaped) {
    const std::u16string title = u"Quarterly report.xlsx - Spreadsheet";
    TBytes region;
    if (shaped) {
        region.assign(32, 0);
        WriteU32(&region[0], 32);
        WriteU32(&region[8], 5);
        // Rounded top corners: four narrow bands, then the body.
        for (int i = 0; i < 5; ++i) {
            const int32_t r[4] = {i < 4 ? 4 - i : 0, i * 2, i < 4 ? 300 - (4 - i) : 300, i < 4 ? i * 2 + 2 : 200};
            for (int32_t v : r) {
                region.resize(region.size() + 4);
                WriteI32(&region[region.size() - 4], v);
            }
        }
    }
    TBytes m(kSmlHeaderSize, 0);
    m[0] = 0x3F;
    m[1] = 0xEE;
    m[2] = 0x03;
    for (int i = 0; i < 8; ++i) m[3 + i] = static_cast<uint8_t>(static_cast<uint64_t>(handle) >> (8 * i));
    WriteU16(&m[11], SML_CREATE_MOVE);
    m[13] = 1;
    WriteU32(&m[18], static_cast<uint32_t>(region.size()));
    WriteI16(&m[26], left);
    WriteI16(&m[28], top);
    WriteI16(&m[30], static_cast<int16_t>(left + 300));
    WriteI16(&m[32], static_cast<int16_t>(top + 200));
    WriteU32(&m[34], static_cast<uint32_t>(title.size() * 2));
    for (char16_t unit : title) {
        m.push_back(static_cast<uint8_t>(unit));
        m.push_back(static_cast<uint8_t>(unit >> 8));
    }
    m.insert(m.end(), region.begin(), region.end());
    return m;
}

// Windows spread over the screen, overlapping their neighbours.
int16_t LeftOf(int64_t i) { return static_cast<int16_t>((i * 97) % 1600); }
int16_t TopOf(int64_t i) { return static_cast<int16_t>((i * 53) % 860); }

// The handler with `windows` windows already on the screen.
struct Crowd {
    explicit Crowd(int64_t windows) {
        for (int64_t i = 0; i < windows; ++i) {
            const TReceivedMessage m = UnwrapReceived(Update(i + 1, LeftOf(i), TopOf(i), i % 4 == 0));
            sml.OnRecvbuffer(m.buffer.data(), m.len);
        }
    }
    Host host;
    Taskbar taskbar;
    Surface surface;
    TMsgSml sml{host, TSmlPorts{&taskbar, &surface, nullptr, nullptr}};
};

// Hands the prepared updates over one per iteration, round and round.
void RunUpdates(benchmark::State& state, Crowd& crowd, const std::vector<TReceivedMessage>& moves) {
    std::size_t next = 0;
    for (auto _ : state) {
        const TReceivedMessage& m = moves[next++ % moves.size()];
        crowd.sml.OnRecvbuffer(m.buffer.data(), m.len);
        benchmark::DoNotOptimize(crowd.surface.rects);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["shape_rects"] = static_cast<double>(crowd.surface.rects);
}

void BM_SeamlessUpdate(benchmark::State& state) {
    const int64_t windows = state.range(0);
    Crowd crowd(windows);
    // The updates of a window being dragged, prepared as the channel hands them over.
    std::vector<TReceivedMessage> moves;
    for (int step = 0; step < 64; ++step)
        moves.push_back(UnwrapReceived(Update(1 + step % windows, static_cast<int16_t>(LeftOf(step) + step),
                                              static_cast<int16_t>(TopOf(step) + step), step % 4 == 0)));
    RunUpdates(state, crowd, moves);
}
BENCHMARK(BM_SeamlessUpdate)->Arg(10)->Arg(100)->Arg(200);

// A window dragged across the crowded screen: every update moves it a few
// pixels from where the last one left it (a plain window, then a shaped one).
void BM_SeamlessDrag(benchmark::State& state) {
    const int64_t windows = state.range(0);
    Crowd crowd(windows);
    // There and back again along a diagonal, so the path repeats.
    std::vector<TReceivedMessage> moves;
    for (int step = 0; step < 400; ++step) {
        const int along = step < 200 ? step : 400 - step;
        moves.push_back(UnwrapReceived(Update(windows / 2 + 1 + step / 200, static_cast<int16_t>(200 + along * 5),
                                              static_cast<int16_t>(100 + along * 3), step >= 200)));
    }
    RunUpdates(state, crowd, moves);
}
BENCHMARK(BM_SeamlessDrag)->Arg(10)->Arg(100)->Arg(200);

// The clipping alone, as after a message that changed nothing (Flags 0).
void BM_SeamlessClipOnly(benchmark::State& state) {
    Crowd crowd(state.range(0));
    for (auto _ : state) {
        crowd.sml.ReClip();
        benchmark::DoNotOptimize(crowd.surface.rects);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SeamlessClipOnly)->Arg(10)->Arg(100)->Arg(200);

}  // namespace
