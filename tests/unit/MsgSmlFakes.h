#pragma once
// Stand-ins for the seamless handler's local windows, and builders of the server
// shell's window updates and of icon files.
#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "channels/ByteOrder.h"
#include "channels/ChannelPayload.h"
#include "channels/MsgSml.h"
#include "infra/DebugLog.h"
#include "support/TempDir.h"

namespace kiv::test {

struct FakeTaskbar : ITaskbarWindows {
    struct Window {
        std::string className;
        std::u16string title;
        bool hasIcon = false;
        TIconImage icon;
        bool visible = true;
        bool minimized = false;
        TRect rect;
    };

    void SetEventSink(ITaskbarWindowEvents* s) override { sink = s; }
    TTaskbarHandle CreateTaskbarWindow(const std::string& className, const TIconImage* icon,
                                       const std::u16string& title) override {
        if (throwOnCreate) throw std::runtime_error("no window today");
        if (failCreate) return 0;
        const TTaskbarHandle handle = nextHandle++;
        Window w{className, title, icon != nullptr, icon ? *icon : TIconImage{}};
        windows[handle] = w;
        created.push_back(handle);
        return handle;
    }
    void DestroyTaskbarWindow(TTaskbarHandle window) override {
        destroyed.push_back(window);
        if (windows.erase(window) && sink) sink->OnTaskbarMessage(window, kTaskbarDestroy, 0, 0);
    }
    bool WindowExists(TTaskbarHandle window) const override { return windows.count(window) != 0; }
    void SetTitle(TTaskbarHandle window, const std::u16string& title) override {
        titlesSet.push_back(title);
        if (auto it = windows.find(window); it != windows.end()) it->second.title = title;
    }
    void SetWindowRect(TTaskbarHandle window, const TRect& rect) override {
        if (auto it = windows.find(window); it != windows.end()) it->second.rect = rect;
    }
    void ShowTaskbarWindow(TTaskbarHandle window) override {
        if (auto it = windows.find(window); it != windows.end()) it->second.visible = true;
    }
    void HideTaskbarWindow(TTaskbarHandle window) override {
        if (auto it = windows.find(window); it != windows.end()) it->second.visible = false;
    }
    bool MinimizeTaskbarWindow(TTaskbarHandle window) override {
        ++minimizeCalls;
        auto it = windows.find(window);
        if (it == windows.end()) return false;
        it->second.minimized = true;
        return true;
    }
    bool IsActiveWindow(TTaskbarHandle window) const override { return window != 0 && window == active; }
    bool ForceForegroundWindow(TTaskbarHandle window) override {
        ++foregroundCalls;
        if (!activationWorks || !WindowExists(window)) return false;
        active = window;
        return true;
    }
    void SwitchToNextTaskWindow(TTaskbarHandle window) override { switchedFrom.push_back(window); }
    void CursorPos(int32_t& x, int32_t& y) const override {
        x = cursorX;
        y = cursorY;
    }

    // A message from the window as the desktop would raise it.
    void Raise(TTaskbarHandle window, uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
        if (sink) sink->OnTaskbarMessage(window, message, wParam, lParam);
    }
    const Window& Only() const { return windows.begin()->second; }

    ITaskbarWindowEvents* sink = nullptr;
    std::map<TTaskbarHandle, Window> windows;
    std::vector<TTaskbarHandle> created, destroyed, switchedFrom;
    std::vector<std::u16string> titlesSet;
    TTaskbarHandle nextHandle = 0x5001;
    TTaskbarHandle active = 0;
    bool activationWorks = true;
    bool failCreate = false;
    bool throwOnCreate = false;
    int minimizeCalls = 0;
    int foregroundCalls = 0;
    int32_t cursorX = 0, cursorY = 0;
};

struct FakeSurface : ISeamlessSurface {
    void SetSessionRegion(const std::vector<TRect>& r) override {
        session = r;
        ++sessionCalls;
    }
    void SetImeRegion(const std::vector<TRect>& r) override { ime = r; }
    void ActivateSessionWindow() override { ++activations; }
    TRect PrimaryScreen() const override { return screen; }

    std::vector<TRect> session, ime;
    int sessionCalls = 0;
    int activations = 0;
    TRect screen{0, 0, 1920, 1080};
};

struct RecordingHost : IChannelHost {
    void OnChannelSendData(const std::string& chan, const TBytes& data) override {
        if (failSend) throw std::runtime_error("channel gone");
        sent.emplace_back(chan, data);
    }
    void OnSessionStateChanged(uint16_t, int32_t) override {}
    TWindowHandle MainFormHandle() const override { return 0x77; }
    std::vector<std::pair<std::string, TBytes>> sent;
    bool failSend = false;
};

inline bool Covers(const std::vector<TRect>& region, int32_t x, int32_t y) {
    return std::any_of(region.begin(), region.end(), [x, y](const TRect& r) {
        return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
    });
}

// A window update as the server shell sends it.
struct Update {
    int64_t handle = 0x1001;
    uint16_t flags = SML_CREATE_MOVE;
    uint8_t inTaskbar = 1;
    int32_t style = 0x16CF0000;  // an ordinary overlapped window
    int16_t left = 100, top = 50, right = 500, bottom = 400;
    std::u16string title = u"Notepad";
    TBytes icon;
    TBytes region;
    // Declared sizes; by default those of the parts.
    std::optional<uint32_t> titleSize, iconSize, regionSize;

    TBytes Bytes() const {
        TBytes m(kSmlHeaderSize, 0);
        m[0] = 0x3F;
        m[1] = 0xEE;
        m[2] = 0x03;
        for (int i = 0; i < 8; ++i) m[3 + i] = static_cast<uint8_t>(static_cast<uint64_t>(handle) >> (8 * i));
        WriteU16(&m[11], flags);
        m[13] = inTaskbar;
        WriteU32(&m[14], iconSize.value_or(static_cast<uint32_t>(icon.size())));
        WriteU32(&m[18], regionSize.value_or(static_cast<uint32_t>(region.size())));
        WriteI32(&m[22], style);
        WriteI16(&m[26], left);
        WriteI16(&m[28], top);
        WriteI16(&m[30], right);
        WriteI16(&m[32], bottom);
        WriteU32(&m[34], titleSize.value_or(static_cast<uint32_t>(title.size() * 2)));
        for (char16_t unit : title) {
            m.push_back(static_cast<uint8_t>(unit));
            m.push_back(static_cast<uint8_t>(unit >> 8));
        }
        m.insert(m.end(), icon.begin(), icon.end());
        m.insert(m.end(), region.begin(), region.end());
        return m;
    }
};

// A region block: header with the count at offset 8, then the rectangles.
inline TBytes RegionBlock(const std::vector<std::array<int32_t, 4>>& rects, std::optional<uint32_t> count = {}) {
    TBytes b(32, 0);
    WriteU32(&b[0], 32);
    WriteU32(&b[4], 1);
    WriteU32(&b[8], count.value_or(static_cast<uint32_t>(rects.size())));
    WriteU32(&b[12], static_cast<uint32_t>(rects.size() * 16));
    for (const auto& r : rects)
        for (int32_t v : r) {
            b.resize(b.size() + 4);
            WriteI32(&b[b.size() - 4], v);
        }
    return b;
}

// An icon file with one 32-bit image whose pixels are all colour (0xAARRGGBB).
inline TBytes IconFile32(int size, uint32_t colour) {
    const std::size_t rowBytes = static_cast<std::size_t>(size) * 4;
    const std::size_t maskRow = ((static_cast<std::size_t>(size) + 31) / 32) * 4;
    const std::size_t image = 40 + rowBytes * size + maskRow * size;
    TBytes f(6 + 16 + image, 0);
    WriteU16(&f[2], 1);
    WriteU16(&f[4], 1);
    f[6] = static_cast<uint8_t>(size == 256 ? 0 : size);
    f[7] = static_cast<uint8_t>(size == 256 ? 0 : size);
    WriteU16(&f[6 + 4], 1);
    WriteU16(&f[6 + 6], 32);
    WriteU32(&f[6 + 8], static_cast<uint32_t>(image));
    WriteU32(&f[6 + 12], 22);
    uint8_t* bmp = &f[22];
    WriteU32(bmp, 40);
    WriteI32(bmp + 4, size);
    WriteI32(bmp + 8, size * 2);
    WriteU16(bmp + 12, 1);
    WriteU16(bmp + 14, 32);
    for (int i = 0; i < size * size; ++i) WriteU32(bmp + 40 + i * 4, colour);
    return f;
}

// The log of one test, with the switches it needs; everything back afterwards.
class ScopedLog {
public:
    explicit ScopedLog(std::initializer_list<TDebugModule> modules) : previous_(LogFilePath()) {
        SetLogFilePath(dir_.path() / "KivClient.log");
        DebugSwitches.fill(false);
        for (TDebugModule m : modules) DebugSwitches[m] = true;
    }
    ~ScopedLog() {
        DebugSwitches.fill(false);
        SetLogFilePath(previous_);
    }
    std::string Text() const { return ReadFileBytes(dir_.path() / "KivClient.log"); }
    bool Has(const std::string& line) const { return Text().find(line) != std::string::npos; }

private:
    TempDir dir_;
    std::filesystem::path previous_;
};

// Delivers an update the way the router does: zero padding and the len rule.
inline void Deliver(TMsgSml& sml, const TBytes& message) {
    const TReceivedMessage received = UnwrapReceived(message);
    sml.OnRecvbuffer(received.buffer.data(), received.len);
}

}  // namespace kiv::test
