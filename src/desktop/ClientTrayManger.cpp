#include "desktop/ClientTrayManger.h"

#include "desktop/TrayMessages.h"

namespace kiv {

TClientTrayIconList::~TClientTrayIconList() { Clear(); }

int TClientTrayIconList::Add(const TTrayIconEntry& entry) {
    items_.push_back(std::make_unique<TTrayIconEntry>(entry));
    return Count() - 1;
}

bool TClientTrayIconList::Delete(int index) {
    if (!Valid(index)) return false;
    // Out of the list before the icon goes, so nothing finds a half-deleted entry.
    std::unique_ptr<TTrayIconEntry> entry = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    if (entry->Icon != 0 && icons_ != nullptr) icons_->DestroyTrayIcon(entry->Icon);
    return true;
}

void TClientTrayIconList::Clear() {
    while (!items_.empty()) Delete(Count() - 1);
}

int TClientTrayIconList::IndexOfIcon(TTrayIconKey icon) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->Icon == icon) return static_cast<int>(i);
    return -1;
}

int TClientTrayIconList::Find(uint8_t operation, int32_t serverWindow, int32_t iconId,
                              uint16_t callbackMessage) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const TTrayIconEntry& entry = *items_[i];
        if (entry.ServerWindow != serverWindow) continue;
        if (operation == kTrayAnyOfWindow || entry.IconId == iconId || iconId < kTraySmallIdLimit)
            return static_cast<int>(i);
        if (entry.CallbackMessage == callbackMessage || callbackMessage == 0) return static_cast<int>(i);
    }
    return -1;
}

TTrayIconEntry* TClientTrayIconList::Get(int index) {
    return Valid(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

const TTrayIconEntry* TClientTrayIconList::Get(int index) const {
    return Valid(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

}  // namespace kiv
