#pragma once
// A key combination taken from the whole desktop: whatever window has the
// keyboard, the press comes to us.
#include <cstdint>

namespace kiv {

// Modifier bits of a hot key.
enum THotKeyModifier : uint32_t {
    kHotKeyAlt = 1,
    kHotKeyCtrl = 2,
    kHotKeyShift = 4,
};

class IGlobalHotKeyEvents {
public:
    virtual ~IGlobalHotKeyEvents() = default;
    // GUI thread. A registered combination was pressed: the modifiers held
    // (THotKeyModifier bits; lock keys are not counted) and the virtual key
    // ('A' + letter index for letters).
    virtual void OnHotKeyPressed(uint32_t modifiers, uint32_t virtualKey) = 0;
};

class IGlobalHotKey {
public:
    virtual ~IGlobalHotKey() = default;
    // Takes the combination for this program; false when the desktop refused it
    // (another program holds it). Replaces an earlier registration.
    virtual bool Register(uint32_t modifiers, uint32_t virtualKey, IGlobalHotKeyEvents* events) = 0;
    // Gives the combination back; nothing when none is held.
    virtual void Unregister() = 0;
};

}  // namespace kiv
