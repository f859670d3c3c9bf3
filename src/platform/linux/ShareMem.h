#pragma once
// TShareMem: the status-window block "SuspendFormHndMapping" as one client
// holds it. 8 bytes, little-endian: StatusWindow (u32, the floating status
// window's id, written by the status window program; 0 when none published
// one) and UserCount (i32, the clients that hold the block). The marker
// semaphore "MutexName_SuspendFormHnd" only tells that the block exists; it is
// never waited on. The first holder creates both, the last removes both.
// UserCount changes with atomic operations, so two clients starting or ending
// at once never lose a count; each holder also keeps a shared lock on the block,
// so the count a killed client left behind is dropped by the next one to come
// when nobody else holds the block.
#include <cstdint>

#include "platform/linux/StatusBlockNames.h"
#include "ports/StatusWindow.h"

namespace kiv {

class TShareMem final : public IStatusBlock {
public:
    explicit TShareMem(TStatusBlockNames names = DefaultStatusBlockNames());
    ~TShareMem() override;
    TShareMem(const TShareMem&) = delete;
    TShareMem& operator=(const TShareMem&) = delete;

    uint32_t GetStatusWindow() const override;
    // Without a view (the block could not be opened or created) both give 0.
    bool HasView() const { return view_ != nullptr; }
    int32_t UserCount() const;

private:
    void CreateBlock();
    void OpenBlock();
    void Join();
    bool MapView();

    TStatusBlockNames names_;
    int mappingFd_ = -1;
    void* marker_ = nullptr;  // sem_t*
    uint32_t* view_ = nullptr;
};

}  // namespace kiv
