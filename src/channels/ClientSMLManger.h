#pragma once
// The seamless handler's record of every server window the server shell has
// reported, in the order they were first reported. Records are handed out by
// reference and changed in place; the list owns them and what they hold.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ports/TaskbarWindows.h"

namespace kiv {

struct TSmlWindowRec {
    int64_t ServerHandle = 0;          // the key
    TTaskbarHandle ClientHandle = 0;   // the taskbar window; 0 when the window has none
    uint8_t InTaskbar = 0;             // as received when the record was created
    std::optional<TIconImage> Icon;    // the composed taskbar icon
    uint32_t RegionSize = 0;           // byte length of Region
    std::vector<uint8_t> Region;       // region block in screen coordinates; empty: none
    int16_t Left = 0;
    int16_t Top = 0;
    int16_t Right = 0;
    int16_t Bottom = 0;
};

class TClientSMLWindowList {
public:
    // The taskbar windows of deleted records are destroyed through taskbar (may be absent).
    explicit TClientSMLWindowList(ITaskbarWindows* taskbar = nullptr) : taskbar_(taskbar) {}
    ~TClientSMLWindowList();
    TClientSMLWindowList(const TClientSMLWindowList&) = delete;
    TClientSMLWindowList& operator=(const TClientSMLWindowList&) = delete;

    // Appends a copy; its index.
    int Add(const TSmlWindowRec& record);
    // False for an index outside 0..Count-1; otherwise the record goes, and with
    // it its icon, region and taskbar window (whose class is dropped too).
    bool Delete(int index);
    // Deletes from the last record down to the first.
    void Clear();
    // -1 when no record has it; the first match otherwise.
    int IndexOfClient(TTaskbarHandle handle) const;
    int IndexOfServer(int64_t serverHandle) const;
    // nullptr for a bad index.
    TSmlWindowRec* GetItem(int index);
    const TSmlWindowRec* GetItem(int index) const;
    // Copies every field into the record at index; false for a bad index.
    bool SetItem(int index, const TSmlWindowRec& record);
    int Count() const { return static_cast<int>(items_.size()); }
    // Counts the adds, deletes and whole-record sets; the clip uses it to see
    // whether the list changed under it since it last looked.
    uint64_t Changes() const { return changes_; }

private:
    bool Valid(int index) const { return index >= 0 && index < Count(); }

    ITaskbarWindows* taskbar_;
    std::vector<std::unique_ptr<TSmlWindowRec>> items_;
    uint64_t changes_ = 0;
};

}  // namespace kiv
