#pragma once
// TMyHotKey: one global hot key (a letter with modifiers). Activating takes the
// combination from the desktop, deactivating (or destroying) gives it back;
// a press of exactly that combination raises OnHotkey.
#include <cstdint>
#include <functional>
#include <optional>

#include "ports/GlobalHotKey.h"

namespace kiv {

// The virtual key of the first letter; a letter index counts from it.
inline constexpr uint32_t kVirtualKeyA = 65;

class TMyHotKey final : public IGlobalHotKeyEvents {
public:
    explicit TMyHotKey(IGlobalHotKey* system);
    ~TMyHotKey() override;
    TMyHotKey(const TMyHotKey&) = delete;
    TMyHotKey& operator=(const TMyHotKey&) = delete;

    int Key = 0;                        // letter index, 0 = A
    uint32_t ControlKey = kHotKeyAlt;  // THotKeyModifier bits
    std::function<void()> OnHotkey;

    void SetActive(bool active);
    bool Active() const { return active_; }
    // Whether the desktop gave us the combination.
    bool Registered() const { return registered_; }

    void OnHotKeyPressed(uint32_t modifiers, uint32_t virtualKey) override;

private:
    IGlobalHotKey* system_;
    bool active_ = false;
    bool registered_ = false;
};

// The monitor the hot key moves the window to: in two-monitor mode (3) the
// other one; in any other monitor mode the hot key does nothing.
std::optional<int> MonitorAfterHotkey(int monitorMode, int currentMonitor);

}  // namespace kiv
