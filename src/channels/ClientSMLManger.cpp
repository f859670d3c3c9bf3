#include "channels/ClientSMLManger.h"

namespace kiv {

TClientSMLWindowList::~TClientSMLWindowList() { Clear(); }

int TClientSMLWindowList::Add(const TSmlWindowRec& record) {
    items_.push_back(std::make_unique<TSmlWindowRec>(record));
    ++changes_;
    return Count() - 1;
}

bool TClientSMLWindowList::Delete(int index) {
    if (!Valid(index)) return false;
    // Out of the list first: destroying the taskbar window reports to the
    // handler, which may look at the list again.
    std::unique_ptr<TSmlWindowRec> record = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
    ++changes_;
    if (record->ClientHandle != 0 && taskbar_ != nullptr) taskbar_->DestroyTaskbarWindow(record->ClientHandle);
    return true;
}

void TClientSMLWindowList::Clear() {
    for (int i = Count() - 1; i >= 0; --i) {
        Delete(i);
        if (i > Count()) i = Count();  // a report during the delete may have removed more
    }
}

int TClientSMLWindowList::IndexOfClient(TTaskbarHandle handle) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->ClientHandle == handle) return static_cast<int>(i);
    return -1;
}

int TClientSMLWindowList::IndexOfServer(int64_t serverHandle) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->ServerHandle == serverHandle) return static_cast<int>(i);
    return -1;
}

TSmlWindowRec* TClientSMLWindowList::GetItem(int index) {
    return Valid(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

const TSmlWindowRec* TClientSMLWindowList::GetItem(int index) const {
    return Valid(index) ? items_[static_cast<std::size_t>(index)].get() : nullptr;
}

bool TClientSMLWindowList::SetItem(int index, const TSmlWindowRec& record) {
    if (!Valid(index)) return false;
    *items_[static_cast<std::size_t>(index)] = record;
    ++changes_;
    return true;
}

}  // namespace kiv
