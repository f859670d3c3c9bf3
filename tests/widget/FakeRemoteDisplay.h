#pragma once
// A frame buffer the test paints, and a record of the input a view sends.
#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

#include "ports/RemoteDisplay.h"

namespace kiv::test {

struct TMouseCall {
    uint16_t flags;
    int32_t x, y;
    bool operator==(const TMouseCall&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const TMouseCall& call) {
        return out << "{flags 0x" << std::hex << call.flags << std::dec << " at " << call.x << "," << call.y << "}";
    }
};

struct TKeyCall {
    uint32_t keycode;
    bool down;
    bool operator==(const TKeyCall&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const TKeyCall& call) {
        return out << "{key " << call.keycode << (call.down ? " down}" : " up}");
    }
};

class FakeRemoteDisplay : public IRemoteDisplay {
public:
    // stride in bytes; 0 means tightly packed rows.
    void Resize(int32_t width, int32_t height, int32_t stride = 0) {
        width_ = width;
        height_ = height;
        stride_ = stride ? stride : width * 4;
        pixels_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
    }
    // Fills the whole buffer, row padding included, with one BGRA colour.
    void Fill(uint8_t b, uint8_t g, uint8_t r) {
        for (size_t i = 0; i + 3 < pixels_.size(); i += 4) {
            pixels_[i] = b;
            pixels_[i + 1] = g;
            pixels_[i + 2] = r;
            pixels_[i + 3] = 0;  // servers leave alpha at zero
        }
    }
    void SetPixel(int32_t x, int32_t y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = pixels_.data() + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 4;
        p[0] = b;
        p[1] = g;
        p[2] = r;
        p[3] = 0;
    }
    // Tells the frame view a smaller width than the rows really have, or a stride
    // too small for the width (a broken control).
    void OverrideView(int32_t width, int32_t stride) {
        viewWidth_ = width;
        viewStride_ = stride;
    }

    void SetDisplayListener(IRemoteDisplayListener* listener) override { listener_ = listener; }
    void ReadFrame(const std::function<void(const TFrameView&)>& reader) override {
        ++reads;
        TFrameView view;
        view.pixels = pixels_.empty() ? nullptr : pixels_.data();
        view.width = viewWidth_ ? viewWidth_ : width_;
        view.height = height_;
        view.stride = viewStride_ ? viewStride_ : stride_;
        reader(view);
    }
    void SendMouseEvent(uint16_t flags, int32_t x, int32_t y) override { mouse.push_back({flags, x, y}); }
    void SendKeyEvent(uint32_t x11Keycode, bool down) override { keys.push_back({x11Keycode, down}); }
    void SendUnicodeKey(uint16_t, bool) override {}
    bool RequestDesktopSize(int32_t width, int32_t height) override {
        sizeRequests.push_back({0, 0, width, height});
        return false;
    }

    IRemoteDisplayListener* listener() const { return listener_; }

    std::vector<TMouseCall> mouse;
    std::vector<TKeyCall> keys;
    std::vector<TRect> sizeRequests;
    int reads = 0;

private:
    IRemoteDisplayListener* listener_ = nullptr;
    std::vector<uint8_t> pixels_;
    int32_t width_ = 0, height_ = 0, stride_ = 0;
    int32_t viewWidth_ = 0, viewStride_ = 0;
};

}  // namespace kiv::test
