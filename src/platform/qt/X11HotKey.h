#pragma once
// A global hot key on X11: a passive grab of the key on the root window, on
// Qt's own X connection, with the Num Lock and Caps Lock variants too (so the
// lock keys do not hide the combination). A combination that another program
// has grabbed already is logged and left to it. The presses arrive through a
// native event filter.
#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

#include "ports/GlobalHotKey.h"

namespace kiv {

class TX11HotKey final : public IGlobalHotKey, public QAbstractNativeEventFilter {
public:
    TX11HotKey();
    ~TX11HotKey() override;
    TX11HotKey(const TX11HotKey&) = delete;
    TX11HotKey& operator=(const TX11HotKey&) = delete;

    bool Register(uint32_t modifiers, uint32_t virtualKey, IGlobalHotKeyEvents* events) override;
    void Unregister() override;

    // How many of the four lock-key variants this program holds.
    std::size_t GrabCount() const { return grabbed_.size(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    xcb_keycode_t KeycodeOf(uint32_t keysym) const;
    uint16_t NumLockMask() const;

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    IGlobalHotKeyEvents* events_ = nullptr;
    xcb_keycode_t keycode_ = 0;
    uint32_t virtualKey_ = 0;
    std::vector<uint16_t> grabbed_;  // the modifier masks held
};

}  // namespace kiv
