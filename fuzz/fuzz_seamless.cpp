// Any bytes as the server shell's seamless messages. The input is a series of
// payloads, each after its 16-bit little-endian length (the rest of the input
// when the length runs past it). Each payload reaches the seamless handler
// with the padding and len of the channel layer; after each one the taskbar
// windows report what a user could do with them. The handler must read nothing
// past the payload or its title area, send only 21-byte window events, and
// keep its shapes banded; a clip of the changed area alone must equal the union
// from scratch. The icon reader and the region type get the raw bytes as well;
// the region type's replacing of an area must give what a union gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "channels/ChannelPayload.h"
#include "channels/MsgSml.h"
#include "channels/SmlIcon.h"
#include "channels/SmlRegionBlock.h"

namespace {

using namespace kiv;

struct Host : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override {
        if (chan != "CSML" || data.size() != 22 || data[21] != 0) __builtin_trap();
        ++sent;
        if (sent % 7 == 0) throw std::runtime_error("the channel went away");
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 1; }
    int sent = 0;
};

struct Taskbar : ITaskbarWindows {
    void SetEventSink(ITaskbarWindowEvents* s) override { sink = s; }
    TTaskbarHandle CreateTaskbarWindow(const std::string&, const TIconImage* icon, const std::u16string& title) override {
        if (title.size() > 260) __builtin_trap();  // the title area holds 260 units
        if (icon && icon->pixels.size() != static_cast<std::size_t>(icon->width) * icon->height) __builtin_trap();
        const TTaskbarHandle h = next++;
        alive[h] = true;
        return h;
    }
    void DestroyTaskbarWindow(TTaskbarHandle window) override {
        if (alive.erase(window) && sink) sink->OnTaskbarMessage(window, kTaskbarDestroy, 0, 0);
    }
    bool WindowExists(TTaskbarHandle window) const override { return alive.count(window) != 0; }
    void SetTitle(TTaskbarHandle, const std::u16string& title) override {
        if (title.size() > 260) __builtin_trap();
    }
    void SetWindowRect(TTaskbarHandle, const TRect&) override {}
    void ShowTaskbarWindow(TTaskbarHandle) override {}
    void HideTaskbarWindow(TTaskbarHandle) override {}
    bool MinimizeTaskbarWindow(TTaskbarHandle window) override { return WindowExists(window); }
    bool IsActiveWindow(TTaskbarHandle window) const override { return window == active; }
    bool ForceForegroundWindow(TTaskbarHandle window) override {
        active = window;
        return true;
    }
    void SwitchToNextTaskWindow(TTaskbarHandle) override {}
    void CursorPos(int32_t& x, int32_t& y) const override {
        x = 1000;
        y = -700;
    }
    ITaskbarWindowEvents* sink = nullptr;
    std::map<TTaskbarHandle, bool> alive;
    TTaskbarHandle next = 1;
    TTaskbarHandle active = 0;
};

struct Surface : ISeamlessSurface {
    void SetSessionRegion(const std::vector<TRect>& region) override {
        Check(region);
        ++clips;
    }
    void SetImeRegion(const std::vector<TRect>& region) override { Check(region); }
    void ActivateSessionWindow() override {}
    TRect PrimaryScreen() const override { return TRect{0, 0, 1920, 1080}; }
    int clips = 0;
    static void Check(const std::vector<TRect>& region) {
        if (region.empty()) __builtin_trap();
        for (std::size_t i = 0; i < region.size(); ++i) {
            if (region[i].width <= 0 || region[i].height <= 0) __builtin_trap();
            if (i == 0) continue;
            const TRect& a = region[i - 1];
            const TRect& b = region[i];
            const int64_t aRight = int64_t{a.x} + a.width, aBottom = int64_t{a.y} + a.height;
            if (a.y == b.y ? (a.height != b.height || b.x <= aRight) : b.y < aBottom) __builtin_trap();
        }
    }
};

// Answers with a picture of the size the image announces, as a real decoder would.
struct PngDecoder : IIconImageDecoder {
    std::optional<TIconImage> DecodePng(std::span<const uint8_t> bytes) const override {
        if (bytes.size() < 24) __builtin_trap();  // the handler checked the header first
        const auto be = [&](std::size_t at) {
            return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) |
                   bytes[at + 3];
        };
        const uint32_t w = be(16), h = be(20);
        if (w == 0 || h == 0 || w > 256 || h > 256) __builtin_trap();
        return TIconImage{static_cast<int32_t>(w), static_cast<int32_t>(h),
                          std::vector<uint32_t>(std::size_t{w} * h, bytes.size())};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host host;
    Taskbar taskbar;
    Surface surface;
    PngDecoder png;
    {
        TMsgSml sml(host, TSmlPorts{&taskbar, &surface, &png, nullptr});
        std::size_t at = 0;
        while (at < size) {
            std::size_t length = size - at;
            if (size - at >= 2) {
                length = std::min<std::size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
                at += 2;
            }
            // Exactly the payload's bytes, so the sanitizer sees any read past it.
            const std::vector<uint8_t> payload(data + at, data + at + length);
            at += length;
            const TReceivedMessage received = UnwrapReceived(payload);
            const int clips = surface.clips;
            sml.OnRecvbuffer(received.buffer.data(), received.len);
            // A clip of only the changed rows gives what a clip from scratch gives.
            if (surface.clips != clips && sml.LastClip().Rects() != sml.FullClip().Rects()) __builtin_trap();
            // What the user does with the first button, with the state the bytes chose.
            if (sml.WindowList.Count() > 0 && !payload.empty()) {
                const TTaskbarHandle button = sml.WindowList.GetItem(0)->ClientHandle;
                const uint8_t pick = payload.back();
                static constexpr uint32_t kMessages[] = {kTaskbarActivate, kTaskbarSize, kTaskbarClose,
                                                         kTaskbarSettingChange, kTaskbarAfterMenuShow,
                                                         kTaskbarExitMenuLoop, kTaskbarMenuRequest, kTaskbarEndSession};
                if (taskbar.sink)
                    taskbar.sink->OnTaskbarMessage(button, kMessages[pick % 8], pick / 8 % 4, pick);
            }
            // Every shape keeps the session window's corner pixel.
            if (!sml.LastClip().Empty() && !sml.LastClip().Contains(0, 0)) __builtin_trap();
        }
    }
    if (!taskbar.alive.empty()) __builtin_trap();  // freeing the handler destroys every button

    const std::span<const uint8_t> bytes(data, size);
    if (auto icon = LoadIconFile(bytes, &png)) {
        if (icon->width < 1 || icon->width > 256 || icon->height < 1 || icon->height > 256) __builtin_trap();
        if (icon->pixels.size() != static_cast<std::size_t>(icon->width) * icon->height) __builtin_trap();
    }
    if (auto block = MakeScreenRegionBlock(bytes, 100, -50)) {
        std::vector<TSmlRect> rects = RegionBlockRects(*block);
        if (block->size() != 32 + rects.size() * 16) __builtin_trap();
        const TSmlRegion region = TSmlRegion::Union(rects);
        Surface::Check(region.Empty() ? std::vector<TRect>{{0, 0, 1, 1}} : region.ToRects());
        // Taking the first rectangles away and putting them back, area by area,
        // gives what the unions from scratch give.
        if (rects.size() >= 2) {
            const std::vector<TSmlRect> rest(rects.begin() + 2, rects.end());
            const TSmlRegion withoutFirst = TSmlRegion::Union({rects.begin() + 1, rects.end()});
            const TSmlRegion without = TSmlRegion::Union(rest);
            TSmlRegion changed = region;
            changed.ReplaceArea(rects[0], {rects.begin() + 1, rects.end()});
            if (changed.Rects() != withoutFirst.Rects()) __builtin_trap();
            changed = region;
            changed.Replace(TSmlRegion::Union({rects[0], rects[1]}), rest);
            if (changed.Rects() != without.Rects()) __builtin_trap();
            changed.Add(TSmlRegion::Union({rects[0], rects[1]}));
            if (changed.Rects() != region.Rects()) __builtin_trap();
        }
    }
    return 0;
}
