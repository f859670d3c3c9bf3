#include "platform/linux/StatusBlockView.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace kiv {

TStatusBlockView::TStatusBlockView(TStatusBlockNames names) : names_(std::move(names)) {}

TStatusBlockView::~TStatusBlockView() {
    if (view_ != nullptr) munmap(view_, 8);
    if (fd_ >= 0) close(fd_);
}

bool TStatusBlockView::Open() {
    if (view_ != nullptr) return true;
    fd_ = shm_open(names_.mapping.c_str(), O_RDWR | O_CLOEXEC, 0600);
    struct stat status;
    if (fd_ < 0 || fstat(fd_, &status) != 0 || status.st_size < 8) return false;
    void* view = mmap(nullptr, 8, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (view == MAP_FAILED) return false;
    view_ = static_cast<uint32_t*>(view);
    return true;
}

uint32_t TStatusBlockView::StatusWindow() const {
    return view_ ? std::atomic_ref<uint32_t>(view_[0]).load() : 0;
}

int32_t TStatusBlockView::UserCount() const {
    return view_ ? std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view_ + 1)).load() : 0;
}

bool TStatusBlockView::HeldByAClient() const {
    if (fd_ < 0) return false;
    // Every client holds a shared lock: an exclusive one is only to be had without them.
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return true;
    flock(fd_, LOCK_UN);
    return false;
}

void TStatusBlockView::Publish(uint32_t statusWindow) {
    if (view_) std::atomic_ref<uint32_t>(view_[0]).store(statusWindow);
}

void TStatusBlockView::Withdraw(uint32_t statusWindow) {
    if (view_) std::atomic_ref<uint32_t>(view_[0]).compare_exchange_strong(statusWindow, 0);
}

}  // namespace kiv
