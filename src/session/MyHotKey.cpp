#include "session/MyHotKey.h"

#include "infra/DebugLog.h"

namespace kiv {

TMyHotKey::TMyHotKey(IGlobalHotKey* system) : system_(system) {}

TMyHotKey::~TMyHotKey() { SetActive(false); }

void TMyHotKey::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (!system_) return;
    if (!active) {
        if (registered_) system_->Unregister();
        registered_ = false;
        return;
    }
    // A letter without a modifier would take that letter from every program.
    if (ControlKey == 0) {
        if (DebugSwitches[dmMain]) WriteLog("[TMyHotKey]no modifier: the hot key is not registered");
        return;
    }
    registered_ = system_->Register(ControlKey, kVirtualKeyA + static_cast<uint32_t>(Key), this);
    if (!registered_ && DebugSwitches[dmMain])
        WriteLog("[TMyHotKey]the hot key " + std::string(1, static_cast<char>('A' + Key)) + " could not be registered");
}

void TMyHotKey::OnHotKeyPressed(uint32_t modifiers, uint32_t virtualKey) {
    if (!active_ || modifiers != ControlKey || virtualKey != kVirtualKeyA + static_cast<uint32_t>(Key)) return;
    if (OnHotkey) OnHotkey();
}

std::optional<int> MonitorAfterHotkey(int monitorMode, int currentMonitor) {
    if (monitorMode != 3) return std::nullopt;
    return currentMonitor == 1 ? 0 : 1;
}

}  // namespace kiv
