#include "platform/linux/ShareMem.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kiv {

namespace {

constexpr std::size_t kBlockSize = 8;

std::atomic_ref<uint32_t> StatusWindowOf(uint32_t* view) { return std::atomic_ref<uint32_t>(view[0]); }
std::atomic_ref<int32_t> UserCountOf(uint32_t* view) {
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view + 1));
}

}  // namespace

TShareMem::TShareMem(TStatusBlockNames names) : names_(std::move(names)) {
    sem_t* marker = sem_open(names_.marker.c_str(), 0);
    if (marker != SEM_FAILED) {
        marker_ = marker;
        OpenBlock();
        // A marker without its block was left by a client that died between the two.
        if (view_ == nullptr && errno == ENOENT) CreateBlock();
        return;
    }
    marker = sem_open(names_.marker.c_str(), O_CREAT | O_EXCL, 0600, 1);
    if (marker == SEM_FAILED && errno == EEXIST) {
        // Another client made it a moment ago: the block is its.
        marker = sem_open(names_.marker.c_str(), 0);
        if (marker != SEM_FAILED) marker_ = marker;
        OpenBlock();
        return;
    }
    if (marker != SEM_FAILED) marker_ = marker;
    CreateBlock();
}

void TShareMem::CreateBlock() {
    mappingFd_ = shm_open(names_.mapping.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (mappingFd_ < 0 || !MapView()) return;
    StatusWindowOf(view_).store(0);
    UserCountOf(view_).store(0);
    Join();
}

void TShareMem::OpenBlock() {
    mappingFd_ = shm_open(names_.mapping.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (mappingFd_ < 0 || !MapView()) return;
    Join();
}

void TShareMem::Join() {
    // Every holder keeps a shared lock on the block for as long as it lives (the
    // kernel drops it when the process ends, however it ends). Nobody else
    // holding one means the count is what clients that died left behind.
    if (flock(mappingFd_, LOCK_EX | LOCK_NB) == 0) UserCountOf(view_).store(0);
    flock(mappingFd_, LOCK_SH);
    UserCountOf(view_).fetch_add(1);
}

bool TShareMem::MapView() {
    // A block its creator has not sized yet would fault on the first access.
    struct stat status;
    if (fstat(mappingFd_, &status) != 0 || (status.st_size < static_cast<off_t>(kBlockSize) &&
                                            ftruncate(mappingFd_, kBlockSize) != 0)) {
        close(mappingFd_);
        mappingFd_ = -1;
        return false;
    }
    void* view = mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, mappingFd_, 0);
    if (view == MAP_FAILED) {
        close(mappingFd_);
        mappingFd_ = -1;
        return false;
    }
    view_ = static_cast<uint32_t*>(view);
    return true;
}

TShareMem::~TShareMem() {
    const bool last = view_ != nullptr && UserCountOf(view_).fetch_sub(1) - 1 <= 0;
    if (view_ != nullptr) munmap(view_, kBlockSize);
    if (mappingFd_ >= 0) close(mappingFd_);
    if (marker_ != nullptr) sem_close(static_cast<sem_t*>(marker_));
    if (last) {
        shm_unlink(names_.mapping.c_str());
        sem_unlink(names_.marker.c_str());
    }
}

uint32_t TShareMem::GetStatusWindow() const { return view_ ? StatusWindowOf(view_).load() : 0; }

int32_t TShareMem::UserCount() const { return view_ ? UserCountOf(view_).load() : 0; }

}  // namespace kiv
