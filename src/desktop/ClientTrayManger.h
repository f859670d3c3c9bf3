#pragma once
// The tray handler's local icons, one entry per icon in the order they were
// made. The list owns its entries and each entry its local icon: an entry that
// leaves the list takes its icon out of the tray.
#include <cstdint>
#include <memory>
#include <vector>

#include "ports/TrayIcons.h"

namespace kiv {

struct TTrayIconEntry {
    int32_t ServerWindow = 0;      // the server window that owns the icon
    TTrayIconKey Icon = 0;         // the local icon; 0 when there is no tray to show it in
    int32_t IconId = 0;            // the server application's id for the icon
    uint16_t CallbackMessage = 0;  // echoed in every mouse message
};

class TClientTrayIconList {
public:
    // The icons of deleted entries are destroyed through icons (may be absent).
    explicit TClientTrayIconList(ITrayIcons* icons = nullptr) : icons_(icons) {}
    ~TClientTrayIconList();
    TClientTrayIconList(const TClientTrayIconList&) = delete;
    TClientTrayIconList& operator=(const TClientTrayIconList&) = delete;

    // Appends a copy; its index.
    int Add(const TTrayIconEntry& entry);
    // False for an index outside the list; otherwise the entry and its icon go.
    bool Delete(int index);
    // Deletes from the last entry down to the first.
    void Clear();
    // The first entry whose icon this is; -1 when none.
    int IndexOfIcon(TTrayIconKey icon) const;
    // The first entry, in list order, that a message with these values is about;
    // -1 when none. Operation kTrayAnyOfWindow: any entry of the server window.
    // Otherwise the entry must have the server window, and then matches with the
    // same icon id; failing that, any icon id below 1024 matches; an id of 1024
    // or more matches when the callback messages agree or the given one is 0.
    int Find(uint8_t operation, int32_t serverWindow, int32_t iconId, uint16_t callbackMessage) const;
    // nullptr for a bad index.
    TTrayIconEntry* Get(int index);
    const TTrayIconEntry* Get(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }

private:
    bool Valid(int index) const { return index >= 0 && index < Count(); }

    ITrayIcons* icons_;
    std::vector<std::unique_ptr<TTrayIconEntry>> items_;
};

}  // namespace kiv
