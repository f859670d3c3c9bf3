#pragma once
// The frame buffer of one FreeRDP connection and the input that goes back. The
// library paints on the connection's thread between BeginPaint and EndPaint,
// holding its update lock; the GUI thread reads the frame under the same lock, so
// a read never sees the buffer being resized or freed. Damage is collected per
// paint and handed to the GUI thread in batches (one post until it is taken).
#include <freerdp/freerdp.h>

#include <functional>
#include <mutex>
#include <vector>

#include "ports/RemoteDisplay.h"

namespace kiv {

class TFreeRdpDisplay {
public:
    struct TCallbacks {
        std::function<void(int32_t width, int32_t height)> resized;  // connection thread
        std::function<void()> damaged;                               // connection thread, once per batch
    };
    explicit TFreeRdpDisplay(TCallbacks callbacks);

    // Connection thread, in PostConnect / PostDisconnect.
    bool Attach(freerdp* instance);
    void Detach(freerdp* instance);

    // GUI thread.
    void ReadFrame(const std::function<void(const TFrameView&)>& reader);
    std::vector<TRect> TakeDamage();

    // Input from the GUI thread, sent only while the connection is up.
    void EnableInput(rdpInput* input);
    void DisableInput();
    void SendMouseEvent(uint16_t flags, int32_t x, int32_t y);
    void SendKeyEvent(uint32_t x11Keycode, bool down);
    void SendUnicodeKey(uint16_t codeUnit, bool down);

    // The library's keyboard tables, filled once per process; returns the layout.
    static uint32_t PrepareKeyboard();

    // The callbacks below are installed into the library's update table.
    void OnBeginPaint();
    void OnEndPaint();
    bool OnDesktopResize(rdpContext* context);

private:
    TCallbacks callbacks_;

    std::mutex attachMutex_;  // guards gdi_/update_ being there at all
    rdpGdi* gdi_ = nullptr;
    rdpUpdate* update_ = nullptr;

    std::mutex damageMutex_;
    std::vector<TRect> damage_;
    bool damagePosted_ = false;

    std::mutex inputMutex_;
    rdpInput* input_ = nullptr;
};

}  // namespace kiv
