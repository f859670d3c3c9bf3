#pragma once
// The pixels and the input of a remote session, between the remote-desktop
// control and the view that shows it. The control owns the frame buffer; the view
// copies damaged rectangles out of it on the GUI thread and sends input back.
#include <cstdint>
#include <functional>
#include <vector>

namespace kiv {

struct TRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// A read-only look at the frame buffer (32-bit BGRA, top-down), valid only inside
// the callback that hands it out.
struct TFrameView {
    const uint8_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;  // bytes per row
};

class IRemoteDisplayListener {
public:
    virtual ~IRemoteDisplayListener() = default;
    // GUI thread. The desktop got its (new) size; a full repaint follows.
    virtual void OnDesktopResized(int32_t width, int32_t height) = 0;
    // GUI thread. These rectangles changed since the last call.
    virtual void OnFrameDamaged(const std::vector<TRect>& damaged) = 0;
};

class IRemoteDisplay {
public:
    virtual ~IRemoteDisplay() = default;
    virtual void SetDisplayListener(IRemoteDisplayListener* listener) = 0;
    // Runs reader with the current frame under the buffer's lock (GUI thread).
    virtual void ReadFrame(const std::function<void(const TFrameView&)>& reader) = 0;

    // Input, from the GUI thread. Mouse flags are the RDP pointer flags
    // (PTR_FLAGS_MOVE, PTR_FLAGS_DOWN | PTR_FLAGS_BUTTON1, PTR_FLAGS_WHEEL ...).
    virtual void SendMouseEvent(uint16_t flags, int32_t x, int32_t y) = 0;
    // A key by its X11 keycode (what the xcb platform reports as the native scan
    // code); the control maps it to the RDP scancode of the keyboard layout.
    virtual void SendKeyEvent(uint32_t x11Keycode, bool down) = 0;
    virtual void SendUnicodeKey(uint16_t codeUnit, bool down) = 0;

    // GUI thread. Asks the server for a desktop of this size, where it offers
    // a way to change it while the session runs; false when there is none (yet).
    // A new size, when granted, arrives as OnDesktopResized.
    virtual bool RequestDesktopSize(int32_t width, int32_t height) { return false; }
};

}  // namespace kiv
